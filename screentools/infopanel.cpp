#include "screentools/infopanel.h"

#include "screentools/readouts.h"

#include <QStringList>

#include <algorithm>

namespace vornik {

namespace {

constexpr Color kPanelColor = 16774371;     // #E3F4FF
constexpr Color kPanelColorTo = 15587784;   // #C8D9ED
constexpr Color kCaptionColor = 16773091;   // #E3EFFF
constexpr Color kCaptionColorTo = 16765615; // #AFD2FF
constexpr Color kPanelFontColor = 7485192;  // #083772

constexpr int kPanelWidth = 297;
// The readouts and the help text keep this far from the panel's sides.
constexpr int kPanelMargin = 8;

TLabeledEdit* createReadout(TGradientPanel* panel, const char* name, const char* label, int left, int top,
                            int width) {
    auto* edit = new TLabeledEdit(panel);
    edit->setObjectName(QString::fromLatin1(name));
    edit->EditLabel()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    edit->setGeometry(left, top, width, 19);
    edit->setLabelCaption(QString::fromLatin1(label));
    return edit;
}

} // namespace

QFont panelFont() {
    QFont font;
    // Where the classic 8-point dialog face is missing, DejaVu Sans
    // Condensed stands in: at 11 pixels its character cell is 13 pixels high
    // like the original's, so the labels keep their places above the boxes.
    // Its text is wider, though: see the selection-size box below.
    font.setFamilies(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                 QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
                                 QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

InfoPanel createInfoPanel(QWidget* mainWindow) {
    InfoPanel info;
    auto* panel = new TGradientPanel(mainWindow);
    info.GradientPanel1 = panel;
    panel->setObjectName(QStringLiteral("GradientPanel1"));
    // Positions and sizes are logical pixels at 96 dots per inch; Qt scales
    // them with the rest of the main window on denser screens.
    panel->setGeometry(328, 88, kPanelWidth, 177);
    panel->setFont(panelFont());
    panel->setFontColor(kPanelFontColor);
    panel->setColor(kPanelColor);
    panel->setColorTo(kPanelColorTo);
    panel->setGradientDirection(TGradientDirection::gdVertical);
    panel->setBevelWidth(1);
    panel->setCanMove(true);
    panel->setCanSize(true);

    TPanelCaption caption;
    caption.Visible = true;
    caption.Text = QStringLiteral("Picture tools");
    caption.Height = 20;
    caption.Color = kCaptionColor;
    caption.ColorTo = kCaptionColorTo;
    caption.GradientDirection = TGradientDirection::gdVertical;
    caption.Font = TPanelFont{panelFont(), kPanelFontColor};
    caption.Indent = 2;
    caption.TopIndent = 0;
    panel->setCaption(caption);

    info.mousexy = createReadout(panel, "mousexy", "Mouse X:Y [F2]", 8, 40, 81);
    info.pixelcolor = createReadout(panel, "pixelcolor", "Pixel color [F3]", 8, 80, 81);
    info.rectangle = createReadout(panel, "rectangle", "Selected area size [F4]", 104, 40, 113);
    // 113 pixels held the hint in the original dialog face. The faces that
    // stand in for it draw it wider (DejaVu Sans Condensed: 141 pixels, where
    // the box has room for 107) and the box would show "select area with
    // mous": it grows to the right as far as the hint needs, up to the
    // panel's margin. Its size is in logical pixels, as the text's is, so it
    // is the same at every scale.
    const int fitted = info.rectangle->widthToShow(QString::fromLatin1(kSelectAreaHint));
    info.rectangle->resize(std::clamp(fitted, 113, kPanelWidth - kPanelMargin - info.rectangle->x()),
                           info.rectangle->height());
    QWidget::setTabOrder(info.mousexy, info.pixelcolor);
    QWidget::setTabOrder(info.pixelcolor, info.rectangle);

    auto* label = new QLabel(panel);
    info.Label1 = label;
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    // Qt breaks lines at a line feed alone; a carriage return before it would
    // be drawn as a character of its own.
    label->setText(QString::fromLatin1(kLabel1Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMargin(0);
    label->setIndent(0);
    label->setAutoFillBackground(false);
    label->setGeometry(8, 104, 281, 65);

    panel->show();
    return info;
}

} // namespace vornik
