#include "BankFixture.h"
#include "CheckFixture.h"
#include "questionbank/BankSchema.h"
#include "questionbank/RecordAccess.h"

#include <functional>
#include <string>

namespace {

using namespace updatetest;
using testsupport::BankBuilder;
namespace bank = questionbank::bank;

// The connection the application would hold, on a bank written into a temporary folder.
questionbank::ConnectionPtr OpenBank(const testsupport::TempBank& file)
{
    questionbank::ConnectionPtr connection;
    connection.CreateInstance();
    connection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.file.string()
            + ";Jet OLEDB:Database Password=" + std::string(bank::kPassword),
        "", "", 0);
    return connection;
}

QString ErrorText(questionbank::HRESULT hr)
{
    return QString::fromStdString(questionbank::ComErrorText(questionbank::ComError(hr)));
}

class RunVersionCheckTest : public CheckTest {
protected:
    void SetUp() override
    {
        CheckTest::SetUp();
        server.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }));
    }

    // Runs the button's handler on `builder`'s bank; returns the databaseVer the service received,
    // or nothing when no request came.
    std::optional<QString> Run(const BankBuilder& builder)
    {
        const testsupport::TempBank file = builder.writeTemp();
        const questionbank::ConnectionPtr connection = OpenBank(file);
        update::RunVersionCheck(connection);
        return SentVersion();
    }
    std::optional<QString> SentVersion() const
    {
        if (server.requests().isEmpty())
            return std::nullopt;
        EXPECT_EQ(server.requests().size(), 1);
        const QByteArray& target = server.requests().front().target;
        EXPECT_EQ(QueryValueOf(target, "softID"), QStringLiteral("marvolen"));
        EXPECT_EQ(QueryValueOf(target, "softVer"), QStringLiteral("1.00"));
        return QueryValueOf(target, "databaseVer");
    }
};

TEST_F(RunVersionCheckTest, SendsTheFirstMakedateOfTheBank)
{
    struct Case {
        const char* label;
        std::function<void(BankBuilder&)> fill;
        QString sent;
    };
    const Case cases[] = {
        { "OneRow", [](BankBuilder& b) { b.addVersion("2006-05-01"); }, QStringLiteral("2006-05-01") },
        { "FirstRowOnly", [](BankBuilder& b) { b.addVersion("2006-05-01").addVersion("2099-01-01"); },
            QStringLiteral("2006-05-01") },
        { "Null", [](BankBuilder& b) { b.addVersion(std::nullopt); }, QString() },
        { "NonAscii", [](BankBuilder& b) { b.addVersion("二〇〇六年五月"); }, QStringLiteral("二〇〇六年五月") },
        // A number column converts to its text.
        { "NumberColumn",
            [](BankBuilder& b) {
                b.withColumnType(bank::kVersionTable, bank::kMakeDate, questionbank::ColumnType::Long)
                    .addRow(bank::kVersionTable, { { std::string(bank::kMakeDate), std::int64_t { 20060501 } } });
            },
            QStringLiteral("20060501") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        platform::ClearCookiesForTesting();
        LocalHttpServer service;
        ASSERT_TRUE(service.isListening());
        service.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=0" }));
        res::SetSiteAddressForTesting(service.address());
        BankBuilder builder;
        c.fill(builder);
        const testsupport::TempBank file = builder.writeTemp();
        boxes.clear();
        update::RunVersionCheck(OpenBank(file));
        ASSERT_EQ(service.requests().size(), 1);
        EXPECT_EQ(QueryValueOf(service.requests().front().target, "databaseVer"), c.sent);
        // "0" sorts after the empty text only.
        EXPECT_EQ(boxes.texts(), QStringList { c.sent.isEmpty() ? kBankOffer : UpToDateText(res::SiteHostName()) });
    }
}

TEST_F(RunVersionCheckTest, EmptyVersionTableShowsTheDataFileMessageAndSendsNothing)
{
    const std::optional<QString> sent = Run(BankBuilder());
    EXPECT_FALSE(sent);
    EXPECT_EQ(server.connectionCount(), 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
        QStringLiteral("数据文件可能已丢失!\r\n请重新启动本软件，如果故障依旧，请重新下载本软件!"));
    EXPECT_EQ(boxes.boxes()[0].type, kOkBox);
}

// The open fails: its error, then the BOF test's error, then the check runs without a version.
TEST_F(RunVersionCheckTest, FailedOpenShowsTwoErrorsThenChecksWithoutVersion)
{
    struct Case {
        const char* label;
        std::function<void()> run;
        questionbank::HRESULT openError;
    };
    const auto missingTable = BankBuilder().withoutTable(bank::kVersionTable).writeTemp();
    const auto anyBank = BankBuilder().addVersion("2006-05-01").writeTemp();
    const Case cases[] = {
        { "MissingTable", [&] { update::RunVersionCheck(OpenBank(missingTable)); }, questionbank::DB_E_NOTABLE },
        { "ConnectionNotOpen",
            [] {
                questionbank::ConnectionPtr closed;
                closed.CreateInstance();
                update::RunVersionCheck(closed);
            },
            questionbank::adErrObjectClosed },
        { "NoConnection", [] { update::RunVersionCheck(nullptr); }, questionbank::E_POINTER },
        { "RecordsetNotCreated",
            [&] {
                const questionbank::ConnectionPtr connection = OpenBank(anyBank);
                questionbank::SetObjectCreationHook(
                    [](questionbank::ObjectKind kind) { return kind != questionbank::ObjectKind::Recordset; });
                update::RunVersionCheck(connection);
                questionbank::SetObjectCreationHook(nullptr);
            },
            questionbank::E_POINTER },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        platform::ClearCookiesForTesting();
        LocalHttpServer service;
        ASSERT_TRUE(service.isListening());
        service.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }));
        res::SetSiteAddressForTesting(service.address());
        boxes.clear();
        c.run();
        ASSERT_EQ(boxes.boxes().size(), 3u) << boxes.texts().join(" | ").toStdString();
        EXPECT_EQ(boxes.boxes()[0].text, ErrorText(c.openError));
        EXPECT_EQ(boxes.boxes()[0].type, kOkBox);
        EXPECT_FALSE(boxes.boxes()[1].text.isEmpty());
        EXPECT_EQ(boxes.boxes()[1].type, kOkBox);
        EXPECT_EQ(boxes.boxes()[2].text, kBankOffer);
        ASSERT_EQ(service.requests().size(), 1);
        EXPECT_EQ(QueryValueOf(service.requests().front().target, "databaseVer"), QString());
    }
}

TEST_F(RunVersionCheckTest, MissingColumnShowsOneErrorThenChecksWithoutVersion)
{
    const std::optional<QString> sent
        = Run(BankBuilder()
                  .withColumns(bank::kVersionTable, { questionbank::ColumnDef { "version" } })
                  .addRow(bank::kVersionTable, { { "version", std::string("2006-05-01") } }));
    EXPECT_EQ(sent, QString());
    EXPECT_EQ(boxes.texts(), (QStringList { ErrorText(questionbank::adErrItemNotFound), kBankOffer }));
}

TEST_F(RunVersionCheckTest, SessionThatCannotOpenIsReportedWithTheStopIconAndNothingIsSent)
{
    platform::SetSessionOpenFailureForTesting(platform::InternetFailure {});
    const std::optional<QString> sent = Run(BankBuilder().addVersion("2006-05-01"));
    platform::SetSessionOpenFailureForTesting(std::nullopt);
    EXPECT_FALSE(sent);
    EXPECT_EQ(server.connectionCount(), 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("内部应用程序出错。"));
    EXPECT_EQ(boxes.boxes()[0].type, platform::MB_OK | platform::MB_ICONSTOP);

    // The next press works again.
    boxes.clear();
    EXPECT_EQ(Run(BankBuilder().addVersion("2006-05-01")), QStringLiteral("2006-05-01"));
    EXPECT_EQ(boxes.texts(), QStringList { UpToDateText(host()) });
}

} // namespace
