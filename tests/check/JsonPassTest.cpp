// korvalinthus --check-all --json, the program itself against a real
// Dovecot: standard output must be one document that docs/check-all.schema.json
// accepts (checked by python3-jsonschema), and its values must say what
// happened to the maildirs.
#include "MailServers.h"
#include "SourceTree.h"
#include "app/ProgramFixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString programBinary() { return qEnvironmentVariable("KV_PROGRAM_DIR") + QStringLiteral("/korvalinthus"); }

struct Ran
{
    bool started = false;
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Ran program(const ProgramFixture &p, const QStringList &extra)
{
    Ran r;
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    proc.setProcessEnvironment(env);
    proc.start(programBinary(), QStringList{QStringLiteral("--check-all"), QStringLiteral("--settings"), p.settingsFile(),
                                            QStringLiteral("--program-dir"), p.programFolder()}
                                        + extra);
    r.started = proc.waitForStarted(30000);
    if (!r.started)
        return r;
    r.finished = proc.waitForFinished(60000);
    if (!r.finished) {
        proc.kill();
        proc.waitForFinished(5000);
    }
    r.exitCode = r.finished && proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    r.out = proc.readAllStandardOutput();
    r.err = proc.readAllStandardError();
    return r;
}

// Empty when the schema accepts the document; otherwise why not.
QString schemaErrors(const QByteArray &document)
{
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/doc.json");
    if (!writeTestFile(file, document))
        return QStringLiteral("cannot write the document");
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import json, sys, jsonschema\n"
                             "schema = json.load(open(sys.argv[1]))\n"
                             "jsonschema.Draft202012Validator.check_schema(schema)\n"
                             "errors = list(jsonschema.Draft202012Validator(schema).iter_errors(json.load(open(sys.argv[2]))))\n"
                             "for e in errors: print(list(e.absolute_path), e.message)\n"
                             "sys.exit(1 if errors else 0)\n"),
              sourceDir() + QStringLiteral("/docs/check-all.schema.json"), file});
    if (!py.waitForFinished(30000) || py.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("python3 did not run");
    if (py.exitCode() == 0)
        return {};
    return QString::fromUtf8(py.readAllStandardOutput() + py.readAllStandardError());
}

bool jsonschemaMissing()
{
    QProcess py;
    py.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import jsonschema")});
    return !py.waitForFinished(30000) || py.exitCode() != 0;
}

QJsonObject account(const QJsonObject &doc, int slot)
{
    for (const QJsonValue &a : doc.value(QStringLiteral("accounts")).toArray())
        if (a.toObject().value(QStringLiteral("slot")).toInt() == slot)
            return a.toObject();
    return {};
}

QJsonArray messages(const QJsonObject &doc, int slot)
{
    return account(doc, slot).value(QStringLiteral("messages")).toArray();
}

class JsonPassTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (jsonschemaMissing()) {
            if (peersRequired())
                FAIL() << "python3-jsonschema is not installed";
            GTEST_SKIP() << "python3-jsonschema is not installed";
        }
        KV_START_PEER(pop.start({{"anna", "pw-anna"}, {"bob", "pw-bob"}, {"carol", "pw-carol"}}));
        pop.addMessage("anna", mailMessage("From: Alice <alice@example.com>\r\nSubject: Lunch\r\n"));
        pop.addMessage("anna", mailMessage("From: Promo <bulk@junk.example>\r\nSubject: WIN big\r\n"));
        pop.addMessage("anna", mailMessage("From: Huge <h@example.com>\r\nSubject: Photos\r\n", 30000));
        pop.addMessage("anna", mailMessage("From: Friend <friend@example.org>\r\nSubject: WIN a trip\r\n"));
        pop.addMessage("bob", mailMessage("From: =?UTF-8?Q?B=C3=A4r?= <baer@example.com>\r\n"
                                          "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n"));
        p.presetUsedStore();
        p.account(1, "Anna", "anna", "pw-anna", pop.pop3Port());
        p.account(2, "Bob", "bob", "pw-bob", pop.pop3Port());
        p.account(4, "Carol", "carol", "wrong", pop.pop3Port());
        p.account(5, "Dave", "dave", "", pop.pop3Port());
        for (const char *name : {"Subject_I", "From", "AutoKill"})
            p.on("Delete", name);
        p.on("Delete", "Groesse_KB", "20480");
        p.write(QStringLiteral("/ini/Betreff.ini"), "");
        p.write(QStringLiteral("/ini/Betreff_User.ini"), "WIN\r\n");
        p.write(QStringLiteral("/ini/Absender.ini"), "bulk@junk.example\r\n");
        p.write(QStringLiteral("/ini/Absender_User.ini"), "");
        p.write(QStringLiteral("/ini/Absender_Schutz.ini"), "friend@example.org\r\n");
    }

    // Runs the program and fills doc with the document it printed. Every
    // test calls this under ASSERT_NO_FATAL_FAILURE: a program that is
    // missing, hangs or prints no document stops the test here, before any
    // value of the document is looked at.
    void run(const QStringList &extra, int expectedExit)
    {
        doc = {};
        const Ran r = program(p, extra);
        ASSERT_TRUE(r.started) << "the program did not start: " << programBinary().toStdString();
        ASSERT_TRUE(r.finished) << "the program did not end within a minute";
        ASSERT_FALSE(r.out.isEmpty()) << "the program printed no document; standard error: " << r.err.toStdString();
        EXPECT_EQ(r.exitCode, expectedExit) << r.err.toStdString();
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(r.out, &error);   // the whole output, nothing else
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << r.out.toStdString();
        ASSERT_TRUE(parsed.isObject()) << r.out.toStdString();
        EXPECT_TRUE(r.out.endsWith("}\n"));
        const QString invalid = schemaErrors(r.out);
        EXPECT_TRUE(invalid.isEmpty()) << invalid.toStdString();
        // Failures still reach a person, on standard error.
        EXPECT_TRUE(r.err.contains("(Carol)")) << r.err.toStdString();
        doc = parsed.object();
    }

    QJsonObject doc;
    DovecotServer pop;
    ProgramFixture p;
};
}

TEST_F(JsonPassTest, AccountsCarryTheirStatus)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));   // Carol and Dave could not be checked
    EXPECT_FALSE(doc.value(QStringLiteral("dryRun")).toBool());
    const QJsonArray accounts = doc.value(QStringLiteral("accounts")).toArray();
    ASSERT_EQ(accounts.size(), 4);   // the empty slot 3 is left out
    EXPECT_EQ(account(doc, 1).value(QStringLiteral("status")).toString(), QStringLiteral("checked"));
    EXPECT_EQ(account(doc, 1).value(QStringLiteral("messagesOnServer")).toInt(), 4);
    EXPECT_EQ(account(doc, 4).value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    EXPECT_FALSE(account(doc, 4).value(QStringLiteral("reason")).toString().isEmpty());
    EXPECT_EQ(account(doc, 5).value(QStringLiteral("status")).toString(), QStringLiteral("skipped"));
}

TEST_F(JsonPassTest, OffenderIsMarkedAndDeleted)
{
    const QList<QByteArray> anna = pop.messages("anna");
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    const QJsonArray a = messages(doc, 1);
    ASSERT_EQ(a.size(), 4);
    const QJsonObject junk = a[1].toObject();
    EXPECT_EQ(junk.value(QStringLiteral("number")).toInt(), 2);
    EXPECT_EQ(junk.value(QStringLiteral("from")).toObject().value(QStringLiteral("raw")).toString(),
              QStringLiteral(" Promo <bulk@junk.example>"));
    // Subject lists are judged before sender lists in this pass.
    EXPECT_EQ(junk.value(QStringLiteral("hits")).toArray(),
              QJsonArray({QJsonObject{{"rule", "SUB+"}, {"entry", "WIN"}},
                          QJsonObject{{"rule", "FROM"}, {"entry", "bulk@junk.example"}}}));
    EXPECT_TRUE(junk.value(QStringLiteral("marked")).toBool());
    EXPECT_TRUE(junk.value(QStringLiteral("deleted")).toBool());
    // What the document says is what the server did.
    EXPECT_EQ(pop.messages("anna"), QList<QByteArray>({anna[0], anna[2], anna[3]}));
}

TEST_F(JsonPassTest, OversizeMessageIsHitButKept)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    const QJsonArray a = messages(doc, 1);
    ASSERT_EQ(a.size(), 4);
    const QJsonObject huge = a[2].toObject();   // over the limit, its switch off
    const QJsonArray bigHits = huge.value(QStringLiteral("hits")).toArray();
    ASSERT_EQ(bigHits.size(), 1);
    EXPECT_EQ(bigHits[0].toObject().value(QStringLiteral("rule")).toString(), QStringLiteral("BIG"));
    EXPECT_EQ(bigHits[0].toObject().value(QStringLiteral("limit")).toInt(), 20480);
    EXPECT_EQ(bigHits[0].toObject().value(QStringLiteral("size")).toInt(), huge.value(QStringLiteral("size")).toInt());
    EXPECT_FALSE(huge.value(QStringLiteral("deleted")).toBool());
    EXPECT_EQ(account(doc, 1).value(QStringLiteral("hits")).toObject().value(QStringLiteral("BIG")).toInt(), 1);
}

TEST_F(JsonPassTest, ProtectedMessageIsNotMarked)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    const QJsonArray a = messages(doc, 1);
    ASSERT_EQ(a.size(), 4);
    const QJsonObject friendly = a[3].toObject();   // hits "WIN" but is protected
    EXPECT_EQ(friendly.value(QStringLiteral("hits")).toArray().size(), 1);
    EXPECT_TRUE(friendly.value(QStringLiteral("protected")).toBool());
    EXPECT_EQ(friendly.value(QStringLiteral("protectedBy")).toArray(), QJsonArray{QStringLiteral("friend@example.org")});
    EXPECT_FALSE(friendly.value(QStringLiteral("marked")).toBool());
}

TEST_F(JsonPassTest, EncodedSubjectIsDecoded)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    const QJsonArray b = messages(doc, 2);
    ASSERT_EQ(b.size(), 1);
    const QJsonObject bear = b[0].toObject();
    EXPECT_EQ(bear.value(QStringLiteral("subject")).toObject().value(QStringLiteral("raw")).toString(),
              QStringLiteral(" =?UTF-8?Q?Gr=C3=BC=C3=9Fe?="));
    EXPECT_TRUE(bear.value(QStringLiteral("subject")).toObject().value(QStringLiteral("decoded")).toString()
                    .endsWith(QStringLiteral("Grüße")));
}

TEST_F(JsonPassTest, TotalsCountThePass)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    const QJsonObject totals = doc.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("messages")).toInt(), 5);
    EXPECT_EQ(totals.value(QStringLiteral("deleted")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("marked")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("accountsChecked")).toInt(), 2);
    EXPECT_EQ(totals.value(QStringLiteral("accountsFailed")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("accountsSkipped")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("hits")).toObject().value(QStringLiteral("SUB+")).toInt(), 2);
}

TEST_F(JsonPassTest, SchemaRefusesAnUnknownStatus)
{
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--json")}, 1));
    // The schema check is one that can fail: a document it does not allow.
    QJsonObject broken = doc;
    QJsonArray brokenAccounts = doc.value(QStringLiteral("accounts")).toArray();
    ASSERT_FALSE(brokenAccounts.isEmpty());
    QJsonObject first = brokenAccounts[0].toObject();
    first.insert(QStringLiteral("status"), QStringLiteral("fine"));
    brokenAccounts[0] = first;
    broken.insert(QStringLiteral("accounts"), brokenAccounts);
    EXPECT_FALSE(schemaErrors(QJsonDocument(broken).toJson()).isEmpty());
}

TEST_F(JsonPassTest, DryRunMarksButDeletesNothing)
{
    const QList<QByteArray> anna = pop.messages("anna");
    ASSERT_NO_FATAL_FAILURE(run({QStringLiteral("--dry-run"), QStringLiteral("--json")}, 1));
    EXPECT_TRUE(doc.value(QStringLiteral("dryRun")).toBool());
    const QJsonArray a = messages(doc, 1);
    ASSERT_GE(a.size(), 2);
    const QJsonObject junk = a[1].toObject();
    EXPECT_TRUE(junk.value(QStringLiteral("marked")).toBool());
    EXPECT_FALSE(junk.value(QStringLiteral("deleted")).toBool());
    const QJsonObject totals = doc.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("marked")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("deleted")).toInt(), 0);
    EXPECT_EQ(pop.messages("anna"), anna);
}
