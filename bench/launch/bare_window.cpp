// The launch benchmark's yardstick: the least a Qt Widgets program does to show a
// window of the assistant's size. Given a text, it shows that in a label too, which
// prices the fonts alone.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("launch-bare");
    window.setFixedSize(1200, 712);
    if (argc > 1)
        window.setCentralWidget(new QLabel(QString::fromUtf8(argv[1])));
    window.show();
    return QApplication::exec();
}
