#include "widgets/styledpopupmenu.h"

#include "widgets/menurenderer.h"
#include "widgets/mnemonics.h"

#include <QCoreApplication>

namespace vornik {

namespace {

// Menu animation is off for as long as the program runs; the application's
// end puts the previous setting back. The first styled menu starts it: the
// setting can only be read once the application object is complete.
void startMenuModule() {
    static bool started = false;
    if (started || !QCoreApplication::instance())
        return;
    started = true;
    switchOffMenuAnimation();
    qAddPostRoutine([] {
        restoreMenuAnimation();
        started = false;
    });
}

} // namespace

TStyledPopupMenu::TStyledPopupMenu(QObject* owner) : QObject(owner), m_items(std::make_unique<TMenuItem>()) {
    startMenuModule();
    m_items->OnChange = [this] { Loaded(); };
    setMenuStyler(nullptr);
    PopupList::instance().add(this);
}

TStyledPopupMenu::~TStyledPopupMenu() {
    PopupList::instance().remove(this);
}

void TStyledPopupMenu::setMenuStyler(TCustomMenuStyler* styler) {
    m_external = styler;
    if (m_external) {
        m_internal.reset();
    } else if (!m_internal) {
        m_internal = std::make_unique<TCustomMenuStyler>();
        m_internal->Name = "InternalMenuStyler";
        m_internal->IsSubComponent = true;
    }
}

const TCustomMenuStyler& TStyledPopupMenu::activeStyler() const {
    return m_external ? *m_external : *m_internal;
}

void TStyledPopupMenu::Loaded() {
    OwnerDraw = true;
    for (int i = 0; i < m_items->Count(); ++i)
        attach(m_items->Items(i));
}

void TStyledPopupMenu::attach(TMenuItem* item) {
    if (!item->OnMeasureItem)
        item->OnMeasureItem = [this](TMenuItem* sender, Canvas& canvas, int& width, int& height) {
            MeasureMenuItem(activeStyler(), *sender, canvas, width, height);
        };
    if (!item->OnAdvancedDrawItem)
        item->OnAdvancedDrawItem = [this](TMenuItem* sender, Canvas& canvas, const Rect& rect, unsigned state,
                                          const Rect& itemsArea) {
            PaintMenuItem(activeStyler(), *sender, canvas, rect, state, itemsArea);
        };
    for (int i = 0; i < item->Count(); ++i)
        attach(item->Items(i));
}

void TStyledPopupMenu::rethinkHotkeys() {
    std::vector<TMenuItem*> eligible;
    std::vector<std::string> captions;
    for (int i = 0; i < m_items->Count(); ++i) {
        TMenuItem* item = m_items->Items(i);
        if (item->Visible && !item->Caption.empty() && !item->IsLine()) {
            eligible.push_back(item);
            captions.push_back(item->Caption);
        }
    }
    const std::vector<std::string> marked = assignMnemonics(captions);
    for (std::size_t i = 0; i < eligible.size(); ++i)
        eligible[i]->Caption = marked[i];
}

void TStyledPopupMenu::rethinkLines() {
    std::vector<LineItem> lines;
    for (int i = 0; i < m_items->Count(); ++i)
        lines.push_back(LineItem{m_items->Items(i)->IsLine(), m_items->Items(i)->Visible});
    const std::vector<bool> visible = reducedLines(lines);
    for (int i = 0; i < m_items->Count(); ++i)
        if (lines[std::size_t(i)].separator)
            m_items->Items(i)->Visible = visible[std::size_t(i)];
}

void TStyledPopupMenu::Popup(int x, int y) {
    // Only one menu is tracked at a time. A nested call (a command handler or
    // a timer reaching here while a menu is open) is refused before it changes
    // anything: the open menu still paints and answers keys from m_shown and
    // the captions.
    if (m_items->Count() == 0 || openPopupMenuWindow())
        return;
    // The pointer arrives in the screen's own pixels; the menu's sizes, the
    // desktop width and the window geometry are logical pixels.
    const ScreenPoint logical = logicalScreenPoint(x, y);
    x = logical.x;
    y = logical.y;
    int width = 10;
    int height = 10;
    PopupList::instance().measureItem(m_items->Items(0)->Command(), width, height);
    x = popupX(x, width, Alignment, virtualDesktopWidth());

    PopupPointX = x;
    PopupPointY = y;
    if (OnPopup)
        OnPopup(this);
    if (AutoHotkeys == maAutomatic)
        rethinkHotkeys();
    if (AutoLineReduction == maAutomatic)
        rethinkLines();

    m_shown.clear();
    std::vector<PopupMenuEntry> entries;
    for (int i = 0; i < m_items->Count(); ++i) {
        TMenuItem* item = m_items->Items(i);
        if (!item->Visible)
            continue;
        m_shown.push_back(item);
        entries.push_back(PopupMenuEntry{item->Command(), item->IsLine(), item->Enabled});
    }
    if (entries.empty())
        return;
    trackPopupMenu(entries, popupTrackFlags(Alignment, TrackButton, MenuAnimation), x, y, *this);
    m_shown.clear();
}

void TStyledPopupMenu::measureItem(int index, Canvas& canvas, int& width, int& height) {
    TMenuItem* item = m_shown.at(std::size_t(index));
    if (item->OnMeasureItem)
        item->OnMeasureItem(item, canvas, width, height);
}

void TStyledPopupMenu::drawItem(int index, Canvas& canvas, const Rect& itemRect, unsigned state,
                                const Rect& itemsArea) {
    TMenuItem* item = m_shown.at(std::size_t(index));
    if (item->OnAdvancedDrawItem)
        item->OnAdvancedDrawItem(item, canvas, itemRect, state, itemsArea);
}

MenuCharResult TStyledPopupMenu::menuChar(char typed, int highlightedIndex) {
    std::vector<MenuCharItem> items;
    for (TMenuItem* item : m_shown)
        items.push_back(MenuCharItem{item->Caption, item->Enabled, item->IsLine()});
    const MenuCharAnswer answer = menuCharAnswer(items, typed, highlightedIndex);
    switch (answer.action) {
    case MenuCharAction::Execute:
        return {MNC_EXECUTE, answer.index};
    case MenuCharAction::Select:
        return {MNC_SELECT, answer.index};
    case MenuCharAction::Close:
        return {MNC_CLOSE, 0};
    case MenuCharAction::Ignore:
        break;
    }
    return {MNC_IGNORE, 0};
}

bool TStyledPopupMenu::dispatchCommand(int command) {
    TMenuItem* item = m_items->Find(command);
    if (!item || item == m_items.get())
        return false;
    item->Click();
    return true;
}

bool TStyledPopupMenu::measureCommand(int command, Canvas& canvas, int& width, int& height) {
    TMenuItem* item = m_items->Find(command);
    if (!item || item == m_items.get())
        return false;
    if (item->OnMeasureItem)
        item->OnMeasureItem(item, canvas, width, height);
    return true;
}

void menu_emailcollectClick(QObject* sender) {
    if (auto* item = qobject_cast<TMenuItem*>(sender))
        item->Checked = !item->Checked;
}

TrayMenuItems createTrayMenu(TStyledPopupMenu& popup) {
    popup.setObjectName(QStringLiteral("popup"));
    popup.MenuAnimation = maLeftToRight | maRightToLeft;
    popup.TrackButton = tbLeftButton;
    popup.Alignment = paLeft;

    auto make = [&popup](const char* name, const char* caption, int tag) {
        auto* item = new TMenuItem();
        item->setName(name);
        item->Caption = caption;
        item->Tag = tag;
        popup.Items()->Add(item);
        return item;
    };
    TrayMenuItems items;
    items.menu_emailcollect = make("menu_emailcollect", "E-mail collect", 0);
    items.menu_emailcollect->Checked = true;
    items.menu_emailcollect->OnClick = menu_emailcollectClick;
    items.Colorpickersizecuttools1 =
        make("Colorpickersizecuttools1", "Color picker, size, cut tools [ESC to exit]", 0);
    items.menu_vege = make("menu_vege", "-", -9999);
    items.menu_kilepes = make("menu_kilepes", "Exit", -9000);
    popup.Loaded();
    return items;
}

std::vector<TrayMenuEntry> exportedTrayMenuEntries(const TStyledPopupMenu& popup) {
    std::vector<TrayMenuEntry> entries;
    std::vector<std::size_t> eligible;
    std::vector<std::string> captions;
    for (int i = 0; i < popup.Items()->Count(); ++i) {
        const TMenuItem* item = popup.Items()->Items(i);
        entries.push_back({item->Caption, item->IsLine(), item->Enabled, item->Visible, item->Checked});
        if (item->Visible && !item->Caption.empty() && !item->IsLine()) {
            eligible.push_back(entries.size() - 1);
            captions.push_back(item->Caption);
        }
    }
    if (popup.AutoHotkeys == maAutomatic) {
        const std::vector<std::string> marked = assignMnemonics(captions);
        for (std::size_t i = 0; i < eligible.size(); ++i)
            entries[eligible[i]].caption = marked[i];
    }
    return entries;
}

} // namespace vornik
