#include "platform/qt/savepicturedialog.h"

#include "platform/qt/localtext.h"
#include "platform/qt/modaldialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QWindow>
#include <QVBoxLayout>

#include <algorithm>

namespace vornik {

namespace {

QStringList splitPairs(const std::string& filter)
{
    return fromLocalBytes(filter).split(QLatin1Char('|'));
}

constexpr int kPictureAreaSide = 160;

} // namespace

// Shows a picture shrunk to fit, proportionally and centred, or the text
// "(None)". Pictures smaller than the area keep their natural size.
class PicturePreviewArea : public QFrame {
public:
    explicit PicturePreviewArea(QWidget* parent) : QFrame(parent) {}

    void setPicture(const QImage& picture)
    {
        m_picture = picture;
        update();
    }
    const QImage& picture() const { return m_picture; }
    bool showsPicture() const { return !m_picture.isNull(); }

    // Where the picture goes inside `bounds`.
    static QRect fittedRect(const QSize& picture, const QRect& bounds)
    {
        QSize size = picture;
        if (size.width() > bounds.width() || size.height() > bounds.height())
            size.scale(bounds.size(), Qt::KeepAspectRatio);
        QRect placed(QPoint(0, 0), size);
        placed.moveCenter(bounds.center());
        return placed;
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect bounds = contentsRect();
        if (m_picture.isNull()) {
            painter.drawText(bounds, Qt::AlignCenter, QStringLiteral("(None)"));
            return;
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(fittedRect(m_picture.size(), bounds), m_picture);
    }

private:
    QImage m_picture;
};

QStringList qtNameFilters(const std::string& filter)
{
    QStringList result;
    if (filter.empty())
        return result;
    const QStringList parts = splitPairs(filter);
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& mask = parts[i + 1];
        const QString patterns = mask.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        const QString ownGroup = QLatin1String(" (") + mask + QLatin1Char(')');
        if (description.endsWith(ownGroup))
            result << description.left(description.size() - ownGroup.size()) + QLatin1String(" (") + patterns +
                          QLatin1Char(')');
        else
            result << description + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

TSavePictureDialog::TSavePictureDialog(QWidget* owner)
{
    m_dialog = new QFileDialog(owner);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    m_dialog->setAcceptMode(QFileDialog::AcceptSave);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    // Any name is accepted as it is typed: an existing file is replaced
    // without a question. Qt's own dialog has no read-only check box to hide.
    m_dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    m_dialog->setSizeGripEnabled(true);
    buildPreviewPane();
    connect(m_dialog, &QFileDialog::currentChanged, this, &TSavePictureDialog::showPreviewOf);
}

TSavePictureDialog::~TSavePictureDialog()
{
    delete m_dialog.data();
}

void TSavePictureDialog::buildPreviewPane()
{
    auto* grid = qobject_cast<QGridLayout*>(m_dialog->layout());
    auto* pane = new QWidget(m_dialog);
    pane->setObjectName(QStringLiteral("previewPane"));
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);

    auto* header = new QHBoxLayout;
    m_pictureLabel = new QLabel(QStringLiteral("Picture:"), pane);
    m_pictureLabel->setObjectName(QStringLiteral("pictureLabel"));
    m_previewButton = new QToolButton(pane);
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    m_previewButton->setIcon(m_previewButton->style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_previewButton->setToolTip(QStringLiteral("Preview"));
    m_previewButton->setEnabled(false);
    connect(m_previewButton, &QToolButton::clicked, this, &TSavePictureDialog::openPreviewWindow);
    header->addWidget(m_pictureLabel, 1);
    header->addWidget(m_previewButton);
    column->addLayout(header);

    m_pictureArea = new PicturePreviewArea(pane);
    m_pictureArea->setObjectName(QStringLiteral("pictureArea"));
    m_pictureArea->setFrameShape(QFrame::StyledPanel);
    m_pictureArea->setFrameShadow(QFrame::Sunken);
    m_pictureArea->setMinimumSize(kPictureAreaSide, kPictureAreaSide);
    column->addWidget(m_pictureArea, 1);

    if (grid) {
        // Qt's own dialog lays its controls out in one grid; a new column on
        // its right, spanning every row, holds the pane.
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
    } else {
        m_dialog->layout()->addWidget(pane);
    }
}

void TSavePictureDialog::applySettings()
{
    const QStringList filters = qtNameFilters(m_filter);
    m_dialog->setNameFilters(filters);
    if (!filters.isEmpty())
        m_dialog->selectNameFilter(filters.value(m_filterIndex >= 1 && m_filterIndex <= filters.size()
                                                     ? m_filterIndex - 1
                                                     : 0));

    // The extension is kept as it was given ("*.jpg"); Qt's dialog wants the
    // bare suffix, which it adds with a dot to a name typed without any.
    QString suffix = fromLocalBytes(m_defaultExt);
    if (suffix.startsWith(QLatin1String("*.")))
        suffix.remove(0, 2);
    else if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    m_dialog->setDefaultSuffix(suffix);

    const QString fileName = QFile::decodeName(QByteArray::fromStdString(m_fileName));
    m_dialog->selectFile(fileName);
    showPreviewOf(fileName);
}

bool TSavePictureDialog::Execute()
{
    applySettings();
    if (execDialogFor(*m_dialog, m_shownOver) != QDialog::Accepted)
        return false;
    const QStringList chosen = m_dialog->selectedFiles();
    if (chosen.isEmpty())
        return false;
    m_fileName = QFile::encodeName(chosen.first()).toStdString();
    const qsizetype index = m_dialog->nameFilters().indexOf(m_dialog->selectedNameFilter());
    if (index >= 0)
        m_filterIndex = static_cast<int>(index) + 1;
    return true;
}

void TSavePictureDialog::showPreviewOf(const QString& path)
{
    QImage picture;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QImageReader reader(path);
        picture = reader.read();
    }
    m_picture = picture;
    m_pictureArea->setPicture(picture);
    m_previewButton->setEnabled(!picture.isNull());
    m_pictureLabel->setText(picture.isNull() ? QStringLiteral("Picture:")
                                             : QString::asprintf(" (%dx%d)", picture.width(), picture.height()));
}

void TSavePictureDialog::openPreviewWindow()
{
    if (m_picture.isNull())
        return;
    QDialog window(m_dialog);
    window.setObjectName(QStringLiteral("previewWindow"));
    window.setWindowTitle(QStringLiteral("Preview"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* area = new PicturePreviewArea(&window);
    area->setPicture(m_picture);
    layout->addWidget(area);

    QScreen* screen = m_dialog->screen() ? m_dialog->screen() : QGuiApplication::primaryScreen();
    const QRect monitor = screen->geometry();
    // The window takes the picture's size where that fits and at most three
    // quarters of the monitor each way; the picture then shrinks to fit it.
    const QSize size(std::min(m_picture.width(), monitor.width() * 3 / 4),
                     std::min(m_picture.height(), monitor.height() * 3 / 4));
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(monitor.center());
    window.setGeometry(placed);
    // QDialog closes on Escape by itself.
    window.exec();
}

} // namespace vornik
