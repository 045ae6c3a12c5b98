// What a click on a link in a message may do.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include "reader/ui/LinkOpener.h"
#include "support/TestSupport.h"

namespace pelmar::ui {
namespace {

struct TRecorder {
    QStringList Opened, Asked, Refused, Netmail;
    bool Answer = false;
    bool DesktopOpens = true;  // false: no program takes the link
    TLinkHandlers Handlers() {
        TLinkHandlers h;
        h.WriteNetmail = [this](const QString& a) { Netmail << a; };
        h.Ask = [this](const QString& q) {
            Asked << q;
            return Answer;
        };
        h.Open = [this](const QString& u) {
            Opened << u;
            return DesktopOpens;
        };
        h.Refuse = [this](const QString& t) { Refused << t; };
        return h;
    }
};

TEST(LinkOpener, WebMailAndNewsOpenAtOnce) {
    TRecorder r;
    for (const char* link :
         {"http://example.org/", "https://x.y", "mailto:a@b.c", "news:fido7.ru", "a@b.org"})
        OpenLink(QString::fromLatin1(link), r.Handlers());
    EXPECT_EQ(r.Opened, (QStringList{"http://example.org/", "https://x.y", "mailto:a@b.c", "news:fido7.ru",
                                     "mailto:a@b.org"}));
    EXPECT_TRUE(r.Asked.isEmpty());
}

TEST(LinkOpener, LinkTheDesktopCannotOpenIsReported) {
    TRecorder r;
    r.DesktopOpens = false;
    r.Answer = true;
    OpenLink(QStringLiteral("https://x.y"), r.Handlers());
    OpenLink(QStringLiteral("gopher://hole.example"), r.Handlers());
    ASSERT_EQ(r.Refused.size(), 2);
    EXPECT_TRUE(r.Refused[0].startsWith(QStringLiteral("Ссылку не удалось открыть")));
    EXPECT_TRUE(r.Refused[0].endsWith(QStringLiteral("https://x.y")));
    EXPECT_TRUE(r.Refused[1].endsWith(QStringLiteral("gopher://hole.example")));
}

TEST(LinkOpener, FtnAddressesOpenTheEditor) {
    TRecorder r;
    OpenLink(QStringLiteral("2:5020/10.15"), r.Handlers());
    EXPECT_EQ(r.Netmail, QStringList{"2:5020/10.15"});
    EXPECT_TRUE(r.Opened.isEmpty());
}

TEST(LinkOpener, OtherSchemesAndFilesOnlyAfterAsking) {
    test::TempDir dir;
    const QString text = QString::fromStdString(dir.File("note.txt"));
    QFile(text).open(QIODevice::WriteOnly);
    TRecorder r;
    OpenLink(QStringLiteral("telnet://bbs.example.org"), r.Handlers());
    OpenLink(QStringLiteral("file://") + text, r.Handlers());
    EXPECT_EQ(r.Asked.size(), 2);
    EXPECT_TRUE(r.Opened.isEmpty());
    r.Answer = true;
    OpenLink(QStringLiteral("file://") + text, r.Handlers());
    EXPECT_EQ(r.Opened, QStringList{QStringLiteral("file://") + text});
}

TEST(LinkOpener, FilesThatCouldRunAreNeverOpened) {
    test::TempDir dir;
    const QString script = QString::fromStdString(dir.File("run.desktop"));
    QFile(script).open(QIODevice::WriteOnly);
    TRecorder r;
    r.Answer = true;
    OpenLink(QStringLiteral("file:///bin/sh"), r.Handlers());
    OpenLink(QStringLiteral("file://") + script, r.Handlers());
    EXPECT_EQ(r.Refused.size(), 2);
    EXPECT_TRUE(r.Asked.isEmpty());
    EXPECT_TRUE(r.Opened.isEmpty());
}

}  // namespace
}  // namespace pelmar::ui
