#include "platform/qt/popupmenuhost.h"

#include "platform/qt/localtext.h"
#include "platform/qt/qtcanvas.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vornik {

namespace {

const QEvent::Type kCommandEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CommandEvent : public QEvent {
  public:
    explicit CommandEvent(int command) : QEvent(kCommandEvent), m_command(command) {}
    int command() const { return m_command; }

  private:
    int m_command;
};

// The screen's rectangle in its own pixels: Qt keeps a screen's top-left
// corner as the window system gives it and divides only its size.
QRect deviceGeometry(const QScreen* screen) {
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return QRect(logical.topLeft(), QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
}

int distanceSquared(const QRect& area, QPoint p) {
    const int dx = p.x() < area.left() ? area.left() - p.x() : std::max(0, p.x() - area.right());
    const int dy = p.y() < area.top() ? area.top() - p.y() : std::max(0, p.y() - area.bottom());
    return dx * dx + dy * dy;
}

bool onWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

// Like the desktop's menu windows, ours has a three-pixel non-client border
// around the items; the frame painter draws its two lines into it.
constexpr int kBorder = 3;

class PopupMenuWindow final : public QWidget, public CanvasWindow {
  public:
    PopupMenuWindow(const std::vector<PopupMenuEntry>& entries, unsigned flags, PopupMenuClient& client)
        : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                               Qt::NoDropShadowWindowHint),
          m_entries(entries), m_flags(flags), m_client(client) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setObjectName(QStringLiteral("PopupMenuWindow"));
        measure();
    }

    int run(int x, int y) {
        place(x, y);
        m_image = QImage(size(), QImage::Format_RGB32);
        m_image.fill(palette().color(QPalette::Window));
        // Tells the window system (and tools that look) what kind of window
        // this is, as Qt's own menus do. Qt writes the type only to a window
        // that exists, and would write its default over one set earlier.
        // On a Wayland session the compositor gives the keyboard to an
        // override-redirect window of Xwayland only when it is not typed as
        // a menu (or tooltip, or the like); a menu opened from the panel
        // would otherwise leave the keys with the native window that had
        // them, and the grab below would never see one. There the window
        // keeps Qt's default type.
        winId();
        if (!onWaylandSession())
            setAttribute(Qt::WA_X11NetWmWindowTypePopupMenu);
        show();
        // WORKAROUND: Qt grabs the pointer and keyboard for Qt::Popup windows
        // only once the X server has mapped them; grabbing here as well makes
        // the menu take keys at once when it opens from a tray icon, whose
        // owner window never had the focus.
        grabMouse();
        grabKeyboard();
        paintAll();
        QEventLoop loop;
        m_loop = &loop;
        if (isVisible())
            loop.exec();
        m_loop = nullptr;
        releaseKeyboard();
        releaseMouse();
        return m_chosen;
    }

    // CanvasWindow
    Rect windowRect() const override {
        const QRect g = geometry();
        return Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
    bool isTakenOver() const override { return m_takenOver; }
    void takeOver() override { m_takenOver = true; }
    void setWindowRegion(const Rect& r) override { setMask(QRegion(r.left, r.top, r.width(), r.height())); }
    void moveWindow(int screenX, int screenY) override { move(screenX, screenY); }
    std::unique_ptr<Canvas> windowCanvas() override {
        update();
        return std::make_unique<QImageCanvas>(&m_image, QPoint(0, 0), this);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, m_image);
    }

    void hideEvent(QHideEvent* event) override {
        // Hiding hands the window back: the next opening sets up its region
        // and position afresh.
        clearMask();
        m_takenOver = false;
        if (m_loop)
            m_loop->quit();
        QWidget::hideEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override { setHighlight(itemAt(event->position().toPoint())); }

    void mousePressEvent(QMouseEvent* event) override {
        const QPoint p = event->position().toPoint();
        if (!rect().contains(p) || (!mask().isEmpty() && !mask().contains(p))) {
            close();
            return;
        }
        setHighlight(itemAt(p));
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool selects = event->button() == Qt::LeftButton ||
                             ((m_flags & TPM_RIGHTBUTTON) && event->button() == Qt::RightButton);
        if (!selects)
            return;
        const int index = itemAt(event->position().toPoint());
        if (index >= 0)
            choose(index);
    }

    void leaveEvent(QEvent*) override { setHighlight(-1); }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Escape:
            close();
            return;
        case Qt::Key_Up:
            step(-1);
            return;
        case Qt::Key_Down:
            step(1);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_highlight >= 0)
                choose(m_highlight);
            return;
        default:
            break;
        }
        const std::string typed = toLocalBytes(event->text());
        if (typed.empty() || static_cast<unsigned char>(typed.at(0)) < 0x20)
            return;
        const MenuCharResult answer = m_client.menuChar(typed.at(0), m_highlight);
        const bool valid = answer.index >= 0 && answer.index < int(m_entries.size());
        switch (answer.code) {
        case MNC_EXECUTE:
            if (valid)
                choose(answer.index);
            break;
        case MNC_SELECT:
            if (valid)
                setHighlight(answer.index);
            break;
        case MNC_CLOSE:
            close();
            break;
        default:
            break;
        }
    }

  private:
    void measure() {
        QImage scratch(1, 1, QImage::Format_RGB32);
        QImageCanvas canvas(&scratch);
        int width = 0;
        int top = 0;
        for (int i = 0; i < int(m_entries.size()); ++i) {
            int w = 0;
            int h = proposedMenuItemHeight();
            m_client.measureItem(i, canvas, w, h);
            width = std::max(width, w);
            m_rects.push_back(Rect{0, top, 0, top + std::max(h, 0)});
            top += std::max(h, 0);
        }
        for (Rect& r : m_rects)
            r.right = width;
        m_itemsArea = Rect{0, 0, width, top};
        resize(width + 2 * kBorder, top + 2 * kBorder);
    }

    // Where the desktop puts a menu: aligned to the point as the flags say,
    // flipped to the other side of the point when it would leave the screen
    // that holds the point, and never beyond that screen's edges. A menu off
    // the screen would still hold the pointer and keyboard grab, unseen.
    void place(int x, int y) {
        const QRect area = screenArea(QPoint(x, y));
        const int w = width(), h = height();
        int left = x;
        if (m_flags & TPM_RIGHTALIGN)
            left = x - w;
        else if (m_flags & TPM_CENTERALIGN)
            left = x - w / 2;
        if (left + w > area.right() + 1)
            left = x - w;
        left = std::max(std::min(left, area.right() + 1 - w), area.left());
        int top = y;
        if (top + h > area.bottom() + 1)
            top = y - h;
        top = std::max(std::min(top, area.bottom() + 1 - h), area.top());
        move(left, top);
    }

    static QRect screenArea(QPoint p) {
        QScreen* found = QGuiApplication::screenAt(p);
        if (!found) {
            int best = 0;
            for (QScreen* screen : QGuiApplication::screens()) {
                const int distance = distanceSquared(screen->geometry(), p);
                if (!found || distance < best) {
                    found = screen;
                    best = distance;
                }
            }
        }
        return found ? found->geometry() : QRect(0, 0, 1 << 15, 1 << 15);
    }

    int itemAt(QPoint p) const {
        for (int i = 0; i < int(m_rects.size()); ++i)
            if (!m_entries[std::size_t(i)].separator &&
                m_rects[std::size_t(i)].contains(p.x() - kBorder, p.y() - kBorder))
                return i;
        return -1;
    }

    void paintItem(int index) {
        if (index < 0 || index >= int(m_entries.size()))
            return;
        const PopupMenuEntry& entry = m_entries[std::size_t(index)];
        unsigned state = 0;
        if (index == m_highlight)
            state |= ODS_SELECTED;
        if (!entry.enabled)
            state |= ODS_DISABLED | ODS_GRAYED;
        QImageCanvas canvas(&m_image, QPoint(kBorder, kBorder), this);
        m_client.drawItem(index, canvas, m_rects[std::size_t(index)], state, m_itemsArea);
        update();
    }

    void paintAll() {
        for (int i = 0; i < int(m_entries.size()); ++i)
            paintItem(i);
    }

    void setHighlight(int index) {
        if (index == m_highlight)
            return;
        const int old = m_highlight;
        m_highlight = index;
        paintItem(old);
        paintItem(index);
    }

    void step(int direction) {
        const int n = int(m_entries.size());
        int index = m_highlight;
        for (int tries = 0; tries < n; ++tries) {
            if (index < 0)
                index = direction > 0 ? 0 : n - 1;
            else
                index = (index + direction + n) % n;
            if (!m_entries[std::size_t(index)].separator) {
                setHighlight(index);
                return;
            }
        }
    }

    void choose(int index) {
        const PopupMenuEntry& entry = m_entries[std::size_t(index)];
        if (entry.separator || !entry.enabled)
            return;
        m_chosen = entry.command;
        close();
    }

    std::vector<PopupMenuEntry> m_entries;
    unsigned m_flags;
    PopupMenuClient& m_client;
    std::vector<Rect> m_rects;
    Rect m_itemsArea;
    QImage m_image;
    int m_highlight = -1;
    int m_chosen = 0;
    bool m_takenOver = false;
    QEventLoop* m_loop = nullptr;
};

QPointer<PopupMenuWindow> g_openMenu;

bool g_animationSaved = false;
bool g_savedAnimation = false;

} // namespace

PopupList::PopupList() : QObject(QCoreApplication::instance()) {
    setObjectName(QStringLiteral("PopupList"));
}

PopupList& PopupList::instance() {
    static QPointer<PopupList> list;
    if (!list)
        list = new PopupList();
    return *list;
}

void PopupList::add(PopupCommandTarget* target) {
    if (std::find(m_targets.begin(), m_targets.end(), target) == m_targets.end())
        m_targets.push_back(target);
}

void PopupList::remove(PopupCommandTarget* target) {
    m_targets.erase(std::remove(m_targets.begin(), m_targets.end(), target), m_targets.end());
}

bool PopupList::command(int commandId) {
    // A click may open another menu or close this one's owner; work on a copy.
    const std::vector<PopupCommandTarget*> targets = m_targets;
    for (PopupCommandTarget* target : targets)
        if (target->dispatchCommand(commandId))
            return true;
    return false;
}

void PopupList::postCommand(int commandId) {
    QCoreApplication::postEvent(this, new CommandEvent(commandId));
}

bool PopupList::measureItem(int commandId, int& width, int& height) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QImageCanvas canvas(&scratch);
    for (PopupCommandTarget* target : m_targets)
        if (target->measureCommand(commandId, canvas, width, height))
            return true;
    return false;
}

bool PopupList::event(QEvent* event) {
    if (event->type() == kCommandEvent) {
        command(static_cast<CommandEvent*>(event)->command());
        return true;
    }
    return QObject::event(event);
}

int virtualDesktopWidth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry().width() : 0;
}

ScreenPoint logicalScreenPoint(int deviceX, int deviceY) {
    const QPoint device(deviceX, deviceY);
    QScreen* nearest = nullptr;
    int best = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const int distance = distanceSquared(deviceGeometry(screen), device);
        if (!nearest || distance < best) {
            nearest = screen;
            best = distance;
        }
    }
    if (!nearest)
        return {deviceX, deviceY};
    const QPoint origin = nearest->geometry().topLeft();
    const qreal ratio = nearest->devicePixelRatio();
    // Floor, not round: the logical pixel that holds the device pixel, so a
    // point on the screen's last row stays on the screen.
    return {origin.x() + int(std::floor((deviceX - origin.x()) / ratio)),
            origin.y() + int(std::floor((deviceY - origin.y()) / ratio))};
}

int proposedMenuItemHeight() {
    return QFontMetrics(toQFont(menuFontSpec())).height();
}

int trackPopupMenu(const std::vector<PopupMenuEntry>& entries, unsigned flags, int x, int y,
                   PopupMenuClient& client) {
    if (entries.empty() || g_openMenu)
        return 0;
    auto* window = new PopupMenuWindow(entries, flags, client);
    g_openMenu = window;
    const int chosen = window->run(x, y);
    g_openMenu = nullptr;
    delete window;
    if (chosen != 0)
        PopupList::instance().postCommand(chosen);
    return chosen;
}

QWidget* openPopupMenuWindow() {
    return g_openMenu.data();
}

void switchOffMenuAnimation() {
    if (!g_animationSaved) {
        g_savedAnimation = QApplication::isEffectEnabled(Qt::UI_AnimateMenu);
        g_animationSaved = true;
    }
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
}

void restoreMenuAnimation() {
    if (!g_animationSaved)
        return;
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, g_savedAnimation);
    g_animationSaved = false;
}

} // namespace vornik
