#include "platform/clipboard.h"
#include "platform/clipboardservice.h"

#include "../support/qtenvironment.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <string>

VORNIK_QT_TEST_ENVIRONMENT();

namespace vornik {
namespace {

// Another program's copy, as the clipboard of Qt's test platform takes it.
void copyFromElsewhere(QMimeData* data)
{
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

QMimeData* textData(const QString& text)
{
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

// The test platforms have no X server: the clipboard is Qt's alone.
class ClipboardOnQt : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&clipboard, &Clipboard::changed, [this] { ++changes; });
    }

    Clipboard clipboard;
    int changes = 0;
};

TEST_F(ClipboardOnQt, ReadsWhatWasCopiedUpToItsFirstZeroCharacter)
{
    const struct {
        const char* what;
        QString copied;
        std::string read;
    } cases[] = {
        {"plain", QStringLiteral("ann@example.org bob@example.org"), "ann@example.org bob@example.org"},
        {"cut at zero", QStringLiteral("ann@example.org") + QChar(0) + QStringLiteral("hidden@example.org"),
         "ann@example.org"},
        {"empty", QString(), ""},
    };
    for (const auto& c : cases) {
        copyFromElsewhere(textData(c.copied));
        const ClipboardText text = clipboard.read();
        EXPECT_EQ(text.text, c.read) << c.what;
        EXPECT_FALSE(text.secret) << c.what;
    }
}

TEST_F(ClipboardOnQt, ASecretCopyIsReportedWithoutItsText)
{
    QMimeData* data = textData(QStringLiteral("password@example.org"));
    data->setData(QString::fromLatin1(kSecretHintFormat), QByteArrayLiteral("secret"));
    copyFromElsewhere(data);
    const ClipboardText text = clipboard.read();
    EXPECT_TRUE(text.secret);
    EXPECT_TRUE(text.text.empty());
}

TEST_F(ClipboardOnQt, NoTextIsAnEmptyRead)
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), QByteArrayLiteral("\x89PNG"));
    copyFromElsewhere(data);
    const ClipboardText text = clipboard.read();
    EXPECT_TRUE(text.text.empty());
    EXPECT_FALSE(text.secret);
}

TEST_F(ClipboardOnQt, TheProgramsCopyIsReadBack)
{
    clipboard.writeText("copied@example.org");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copied@example.org"));
    EXPECT_EQ(clipboard.read().text, "copied@example.org");
}

TEST_F(ClipboardOnQt, EachChangeIsAnnouncedOnceAsAnEventOfItsOwn)
{
    QCoreApplication::processEvents();
    changes = 0;
    copyFromElsewhere(textData(QStringLiteral("first@example.org")));
    // Announced from the event loop, not from inside the owner's change.
    EXPECT_EQ(changes, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 1);
    copyFromElsewhere(textData(QStringLiteral("second@example.org")));
    QGuiApplication::clipboard()->setText(QStringLiteral("selected"), QClipboard::Selection);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 2) << "the PRIMARY selection is no change of the clipboard";
}

} // namespace
} // namespace vornik
