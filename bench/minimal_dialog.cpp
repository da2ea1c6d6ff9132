// The reference for the start-up figure: the least a Qt 6 Widgets program does to show one dialog
// with a list box.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QVBoxLayout>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->addItem(QStringLiteral("测试"));
    layout->addWidget(list);
    return dialog.exec();
}
