#include "app/QuillpadSend.h"

int main(int argc, char** argv) { return 0; }
