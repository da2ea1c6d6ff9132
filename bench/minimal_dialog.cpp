// The reference for the start-up figure: the least a Qt 6 Widgets program does to show one dialog
// with a list box. `minimal_dialog --size W H` shows it at another size, to tell how much of a
// larger dialog's start-up is only its area.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->addItem(QStringLiteral("测试"));
    layout->addWidget(list);
    if (argc == 4 && std::strcmp(argv[1], "--size") == 0)
        dialog.setFixedSize(std::atoi(argv[2]), std::atoi(argv[3]));
    return dialog.exec();
}
