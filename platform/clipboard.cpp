#include "platform/clipboard.h"

#include "platform/backends.h"
#include "platform/clipboardservice.h"

namespace vornik {

Clipboard::Clipboard(QObject* parent) : QObject(parent), m_service(openClipboardService())
{
    // A backend announces a change from inside its handling of the window
    // system's event, outside any event delivery of the application object.
    // Queued, the notice arrives as an event of its own, so that a failure in
    // the collection pass reaches the application's exception display
    // instead of ending the program.
    connect(
        m_service.get(), &ClipboardService::changed, this,
        [this] {
            struct Delivery {
                ClipboardService& service;
                explicit Delivery(ClipboardService& s) : service(s) { service.beginDelivery(); }
                ~Delivery() { service.endDelivery(); }
            } delivery(*m_service);
            emit changed();
        },
        Qt::QueuedConnection);
}

Clipboard::~Clipboard() = default;

ClipboardText Clipboard::read()
{
    return m_service->read(m_timeout);
}

void Clipboard::setChangesRead(bool read)
{
    m_service->setChangesRead(read);
}

void Clipboard::writeText(const std::string& text)
{
    m_service->writeText(text);
}

} // namespace vornik
