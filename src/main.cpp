#include "app/RunQuillpad.h"

int main(int argc, char** argv) {
    return RunQuillpad(argc, argv);
}
