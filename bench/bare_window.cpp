// The baseline of the start-up and memory benchmarks: an empty Qt Widgets
// window of a given size, built with the same compiler and flags as the
// client.
//   kelvo-bare-window WIDTH HEIGHT

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const int width = arguments.value(1).toInt();
    const int height = arguments.value(2).toInt();
    if (width <= 0 || height <= 0) {
        qWarning("usage: kelvo-bare-window WIDTH HEIGHT");
        return 2;
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(width, height);
    window.show();
    return app.exec();
}
