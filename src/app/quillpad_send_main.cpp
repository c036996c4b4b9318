#include <QCoreApplication>

#include "app/QuillpadSend.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return QuillpadSend::RunWithStandardStreams(QCoreApplication::arguments().mid(1));
}
