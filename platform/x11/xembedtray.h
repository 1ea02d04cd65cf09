#pragma once

#include "platform/qt/trayservicebase.h"
#include "platform/x11/xembedclicks.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <map>
#include <utility>

namespace vornik {

class XEmbedTrayIconWindow;

// The notification area of an X11 desktop: each icon is a small window that
// the tray host (the owner of the _NET_SYSTEM_TRAY_S<screen> selection)
// embeds with the XEmbed protocol. The service watches the root window for a
// new host and the host's window for its end; icons that a host held vanish
// with it, and every utility window hears WM_TASKBARCREATED when a new host
// takes over, so that its component can add its icon again.
class XEmbedTrayService : public QObject, public TrayServiceBase, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    // Null unless the application runs on Qt's xcb platform.
    static XEmbedTrayService* create();
    ~XEmbedTrayService() override;

    bool shellNotifyIcon(int message, const NotifyIconData& record) override;
    QPoint cursorPos() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Called by an icon window with the mouse message that its input means.
    void report(XEmbedTrayIconWindow* icon, UINT mouseMessage);

  private:
    struct Entry : TrayIconState {
        QPointer<XEmbedTrayIconWindow> widget;
    };
    using Key = std::pair<const UtilityWindow*, std::uint32_t>;

    XEmbedTrayService(void* connection, std::uint32_t root, int screen);
    std::uint32_t atom(const char* name) const;
    std::uint32_t queryManager();
    void watchManager(std::uint32_t manager);
    bool hostOffersAlpha();
    void dock(Entry& entry);
    void show(Entry& entry);
    void apply(Entry& entry, const NotifyIconData& record);
    void hostGone();
    void newHost(std::uint32_t manager);

    void* m_connection;
    std::uint32_t m_root;
    std::uint32_t m_selection = 0;
    std::uint32_t m_opcode = 0;
    std::uint32_t m_managerAtom = 0;
    std::uint32_t m_xembedInfo = 0;
    std::uint32_t m_manager = 0;
    std::map<Key, Entry> m_entries;
};

} // namespace vornik
