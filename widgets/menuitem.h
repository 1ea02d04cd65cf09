#pragma once

#include "platform/canvas.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace vornik {

class TMenuItem;

// Handlers receive the sender first.
using TNotifyEvent = std::function<void(QObject* sender)>;
using TMenuMeasureItemEvent = std::function<void(TMenuItem* sender, Canvas& canvas, int& width, int& height)>;
// itemsArea is the union of the rectangles of all items of the sender's
// menu, in the same client coordinates as rect.
using TMenuDrawItemEvent = std::function<void(TMenuItem* sender, Canvas& canvas, const Rect& rect,
                                              unsigned state, const Rect& itemsArea)>;

// A menu item. Each one gets a command identifier, unique within the
// application, by which the pop-up list finds it when it is chosen. An item
// owns its sub-items.
class TMenuItem : public QObject {
    Q_OBJECT
  public:
    explicit TMenuItem(QObject* owner = nullptr);
    ~TMenuItem() override;

    std::string Caption;
    std::string ShortCutText;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    bool Default = false;
    bool RadioItem = false;
    int Tag = 0;
    int ImageIndex = -1;

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnAdvancedDrawItem;

    int Command() const { return m_command; }
    std::string Name() const { return objectName().toStdString(); }
    void setName(const std::string& name) { setObjectName(QString::fromStdString(name)); }
    bool IsLine() const { return Caption == "-"; }

    // Runs OnClick when the item is enabled.
    virtual void Click();

    // Sub-items. Add takes ownership.
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    int Count() const { return int(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.at(std::size_t(index)); }
    TMenuItem* Parent() const { return m_parent; }
    // This item or one below it with the command identifier, or none.
    TMenuItem* Find(int command);

    // Called after the item list below this item changed.
    std::function<void()> OnChange;

  private:
    void changed();

    int m_command;
    TMenuItem* m_parent = nullptr;
    std::vector<TMenuItem*> m_items;
};

} // namespace vornik
