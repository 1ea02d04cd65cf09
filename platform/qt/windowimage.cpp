#include "platform/qt/windowimage.h"

#include <QBackingStore>
#include <QImage>
#include <QWidget>

namespace vornik {

QImage* windowImageOf(QWidget& window)
{
    QBackingStore* store = window.backingStore();
    // A backing store gets its size, and with it the platform's image, at
    // the window's first paint; before that the platform has no device to
    // give.
    if (store == nullptr || store->size().isEmpty())
        return nullptr;
    QPaintDevice* device = store->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return nullptr;
    return static_cast<QImage*>(device);
}

} // namespace vornik
