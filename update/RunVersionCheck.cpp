#include "platform/Internet.h"
#include "platform/MessageBox.h"
#include "update/VersionCheck.h"

namespace update {

namespace {

void ShowComError(const questionbank::ComError& error)
{
    platform::AfxMessageBox(QString::fromStdString(questionbank::ComErrorText(error)), platform::MB_OK);
}

} // namespace

void RunVersionCheck(const questionbank::ConnectionPtr& connection)
{
    CVersionCheck checker;
    QString strDatabaseVer;
    questionbank::RecordsetPtr pRecordset;

    questionbank::GuardedBlock(
        [&] { questionbank::OpenQuery(pRecordset, "SELECT * FROM databasever", connection); }, ShowComError);

    bool bDataFileLost = false;
    questionbank::GuardedBlock(
        [&] {
            if (pRecordset->BOF()) {
                platform::AfxMessageBox(
                    QStringLiteral("数据文件可能已丢失!\r\n请重新启动本软件，如果故障依旧，请重新下载本软件!"),
                    platform::MB_OK);
                bDataFileLost = true;
                return;
            }
            pRecordset->MoveFirst();
            const questionbank::Value value = questionbank::ReadField(pRecordset, "makedate");
            if (!value.isNull())
                strDatabaseVer = QString::fromStdString(questionbank::FieldText(value));
            pRecordset->Close();
            pRecordset = nullptr;
        },
        ShowComError);
    if (bDataFileLost)
        return;

    // Qt has no general report for a command that fails with an exception; this is it.
    try {
        checker.CheckVersion(QStringLiteral("marvolen"), QStringLiteral("1.00"), strDatabaseVer);
    } catch (platform::CInternetException* e) {
        e->ReportError();
        e->Delete();
    }
}

} // namespace update
