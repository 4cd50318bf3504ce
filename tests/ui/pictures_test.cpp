// Where the lamp pictures come from: the file in the folder beside the program first, the copy built into
// the program when that file is missing, unreadable or broken, and nothing for a name that is no lamp.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ui/pictures.h"
#include "ui/status_panels.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

QImage imageOf(const LampPictures& lamps, const char* name) { return lamps.Picture(QString::fromUtf8(name)).toImage(); }

QImage builtIn(const char* name) { return BuiltInLampPicture(QString::fromUtf8(name)).toImage(); }

TEST(LampPictures, BuiltInCopiesAreTheLampsShippedBesideTheProgram) {
    for (const char* name : {kLampOnRed, kLampOffRed, kLampOnGreen, kLampOffGreen}) {
        const QImage shipped(QDir(TestPictureFolder()).filePath(QString::fromUtf8(name)), "BMP");
        ASSERT_FALSE(shipped.isNull()) << name;
        EXPECT_EQ(builtIn(name), shipped) << name;
    }
    EXPECT_TRUE(BuiltInLampPicture(QStringLiteral("NO_SUCH.bmp")).isNull());
    EXPECT_EQ(StartLampPicture(true).toImage(), builtIn(kLampOffRed));
    EXPECT_EQ(StartLampPicture(false).toImage(), builtIn(kLampOffGreen));
}

TEST(LampPictures, FileBesideTheProgramFirstBuiltInOtherwise) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    // A site's own picture, unlike any built-in lamp.
    QImage own(12, 5, QImage::Format_RGB32);
    own.fill(Qt::blue);
    ASSERT_TRUE(own.save(dir.filePath(QString::fromUtf8(kLampOnRed)), "BMP"));
    // A broken file.
    QFile broken(dir.filePath(QString::fromUtf8(kLampOffRed)));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BM not a bitmap");
    broken.close();
    // A name that cannot be read as a file (a folder: unreadable even to root, who reads any file).
    ASSERT_TRUE(dir.mkdir(QString::fromUtf8(kLampOnGreen)));
    // LANP_OFF_GREEN.bmp is missing.

    const LampPictures lamps(folder.path());
    EXPECT_EQ(imageOf(lamps, kLampOnRed), own);
    for (const char* name : {kLampOffRed, kLampOnGreen, kLampOffGreen}) {
        EXPECT_FALSE(imageOf(lamps, name).isNull()) << name;
        EXPECT_EQ(imageOf(lamps, name), builtIn(name)) << name;
    }
    EXPECT_TRUE(lamps.Picture(QStringLiteral("NO_SUCH.bmp")).isNull());

    const LampPictures nowhere(QStringLiteral("/nonexistent/画像"));
    for (const char* name : {kLampOnRed, kLampOffRed, kLampOnGreen, kLampOffGreen}) {
        EXPECT_EQ(imageOf(nowhere, name), builtIn(name)) << name;
    }
}

}  // namespace
}  // namespace tessarin::test
