// Choosing and reading the system file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "../testsupport.h"
#include "common/text.h"
#include "storage/sysfile.h"

namespace tq {
namespace {

TEST(SystemFile, DefaultsWithoutAFile) {
    QTemporaryDir dir;
    const SystemFile sf = ReadSystemFile(dir.path(), QStringLiteral("PC-01"));
    EXPECT_EQ(sf.mdbName, QStringLiteral("../DB/DB.mdb"));
    EXPECT_EQ(sf.mdbName, DefaultMdbName());
    EXPECT_EQ(sf.ntpHost, QStringLiteral("ntp.nict.jp"));
    EXPECT_EQ(sf.ntpPort, 123);
    EXPECT_TRUE(sf.fileRead.isEmpty());
}

TEST(SystemFile, PerComputerFileWinsOverTheCommonOne) {
    QTemporaryDir dir;
    test::writeFile(dir.filePath(QStringLiteral("Sys.ini")),
                    test::cp932Lines(QStringLiteral("[MDBName]\n/common/DB.mdb\n")));
    SystemFile sf = ReadSystemFile(dir.path(), QStringLiteral("PC-01"));
    EXPECT_EQ(sf.mdbName, QStringLiteral("/common/DB.mdb"));
    EXPECT_EQ(sf.fileRead, dir.filePath(QStringLiteral("Sys.ini")));

    test::writeFile(dir.filePath(QStringLiteral("Sys_PC-01.ini")),
                    test::cp932Lines(QStringLiteral("[MDBName]\n/own/DB.mdb\n")));
    sf = ReadSystemFile(dir.path(), QStringLiteral("PC-01"));
    EXPECT_EQ(sf.mdbName, QStringLiteral("/own/DB.mdb"));
    EXPECT_EQ(sf.fileRead, dir.filePath(QStringLiteral("Sys_PC-01.ini")));
    // Another computer still reads the common file.
    EXPECT_EQ(ReadSystemFile(dir.path(), QStringLiteral("PC-02")).mdbName,
              QStringLiteral("/common/DB.mdb"));
}

TEST(SystemFile, LineRules) {
    struct Case {
        const char* name;
        QString text;
        QString mdbName;
        QString host = QStringLiteral("ntp.nict.jp");
        int port = 123;
    };
    const Case cases[] = {
        {"comment and two paths: the last wins",
         QStringLiteral(
             "[MDBName]\n#database on the shared drive\n/a/DB.mdb\n  /b/共有 DB.mdb  \n"),
         QStringLiteral("/b/共有 DB.mdb")},
        {"a blank line keeps the path", QStringLiteral("[MDBName]\n/a/DB.mdb\n\n   \n"),
         QStringLiteral("/a/DB.mdb")},
        {"an indented header is a value line of the section before",
         QStringLiteral("[WebCam]\ncam1\n [MDBName]\n/a/DB.mdb\n"), QStringLiteral("../DB/DB.mdb")},
        {"an indented header under [MDBName] becomes the path",
         QStringLiteral("[MDBName]\n/a/DB.mdb\n [MDBName]\n"), QStringLiteral("[MDBName]")},
        {"other sections have no effect",
         QStringLiteral("[MDBName]\n/a/DB.mdb\n[WebCam]\n/b/DB.mdb\n[Other]\n/c/DB.mdb\n"),
         QStringLiteral("/a/DB.mdb")},
        {"a header with trailing blanks is trimmed", QStringLiteral("[MDBName]  \n/a/DB.mdb\n"),
         QStringLiteral("/a/DB.mdb")},
        {"values before any header are ignored", QStringLiteral("/x/DB.mdb\n"),
         QStringLiteral("../DB/DB.mdb")},
        {"time server with port, last wins",
         QStringLiteral("[NTPServer]\nntp.example.org\n127.0.0.1:10123\n"),
         QStringLiteral("../DB/DB.mdb"), QStringLiteral("127.0.0.1"), 10123},
        {"time server without port", QStringLiteral("[NTPServer]\n#x\n ntp.example.org \n"),
         QStringLiteral("../DB/DB.mdb"), QStringLiteral("ntp.example.org"), 123},
        {"a bad port leaves the server as it was",
         QStringLiteral("[NTPServer]\nntp.a.jp\nntp.b.jp:http\nntp.c.jp:70000\n"),
         QStringLiteral("../DB/DB.mdb"), QStringLiteral("ntp.a.jp"), 123},
        {"CR-only and LF-only line ends", QStringLiteral("[MDBName]\r/a\r\n/b\n"),
         QStringLiteral("/b")},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        test::writeFile(dir.filePath(QStringLiteral("Sys.ini")),
                        encodeSiteText(c.text, FileEncoding::Cp932));
        const SystemFile sf = ReadSystemFile(dir.path(), QStringLiteral("PC"));
        EXPECT_EQ(sf.mdbName, c.mdbName) << c.name;
        EXPECT_EQ(sf.ntpHost, c.host) << c.name;
        EXPECT_EQ(sf.ntpPort, c.port) << c.name;
    }
}

TEST(SystemFile, ReadsCp932AndUtf8) {
    const QString text = QStringLiteral("[MDBName]\n/物流/DB/勤怠①.mdb\n");
    for (FileEncoding enc : {FileEncoding::Cp932, FileEncoding::Utf8, FileEncoding::Utf8WithBom}) {
        QTemporaryDir dir;
        test::writeFile(dir.filePath(QStringLiteral("Sys.ini")), encodeSiteText(text, enc));
        EXPECT_EQ(ReadSystemFile(dir.path(), QStringLiteral("PC")).mdbName,
                  QStringLiteral("/物流/DB/勤怠①.mdb"))
            << static_cast<int>(enc);
    }
}

TEST(SystemFile, AFileThatCannotBeReadIsAnErrorNamingItNeverTheDefault) {
    const QString utf16 = QStringLiteral("[MDBName]\r\n/srv/DB.mdb\r\n");
    struct Case {
        const char* what;
        std::function<void(const QString& path)> make;
    };
    const Case cases[] = {
        {"UTF-16 with a byte-order mark",
         [&](const QString& p) {
             test::writeFile(
                 p, QByteArray("\xFF\xFE") +
                        QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2));
         }},
        {"a NUL byte in a line",
         [](const QString& p) { test::writeFile(p, QByteArray("[MDBName]\n/a\0/b.mdb\n", 20)); }},
        {"bytes that are neither UTF-8 nor CP932",
         [](const QString& p) { test::writeFile(p, QByteArray("[MDBName]\n/a/\x81\x20.mdb\n")); }},
        {"a folder", [](const QString& p) { ASSERT_TRUE(QDir().mkpath(p)); }},
        {"a link to nothing",
         [](const QString& p) { ASSERT_TRUE(QFile::link(p + QStringLiteral(".gone"), p)); }},
        {"more than 1 MB",
         [](const QString& p) {
             test::writeFile(
                 p, QByteArray("[MDBName]\n/a/DB.mdb\n") + QByteArray("#").repeated(1 << 20));
         }},
    };
    for (const Case& c : cases) {
        for (const QString& name : {QStringLiteral("Sys.ini"), QStringLiteral("sys_pc.INI")}) {
            QTemporaryDir dir;
            const QString path = dir.filePath(name);
            c.make(path);
            const SystemFile sf = ReadSystemFile(dir.path(), QStringLiteral("PC"));
            EXPECT_TRUE(sf.error.contains(path)) << c.what << ": " << sf.error.toStdString();
            EXPECT_TRUE(sf.fileRead.isEmpty()) << c.what;
        }
    }
}

}  // namespace
}  // namespace tq
