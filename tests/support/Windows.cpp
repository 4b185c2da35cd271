#include "support/Windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QSet>
#include <QTimer>

namespace kv5 {

bool WriteFileBytes(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

void OnNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

QString LayoutFaults(QWidget& window, const QString& name) {
    QStringList faults;
    const QList<QWidget*> controls = window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        const QString controlName = control->objectName();
        if (!control->isVisible()) faults << controlName + QStringLiteral(" hidden");
        if (!window.rect().contains(control->geometry())) faults << controlName + QStringLiteral(" outside");
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
        if ((qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control)) &&
            (caption.trimmed().isEmpty() || control->width() < control->sizeHint().width() ||
             control->height() < control->minimumSizeHint().height()))
            faults << controlName + QStringLiteral(" caption cut");
        if (auto* list = qobject_cast<QComboBox*>(control);
            list && list->width() < list->fontMetrics().horizontalAdvance(list->currentText()))
            faults << controlName + QStringLiteral(" too narrow");
        for (QWidget* other : controls)
            if (other != control && control->geometry().intersects(other->geometry()))
                faults << controlName + QStringLiteral(" over ") + other->objectName();
    }
    const QPixmap picture = window.grab();
    const QImage image = picture.toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    if (colours.size() <= 10) faults << QStringLiteral("blank picture");
    const QString folder = qEnvironmentVariable("KV5_SCREENSHOTS");
    if (!folder.isEmpty() &&
        !picture.save(folder + QStringLiteral("/%1@%2x.png").arg(name).arg(window.devicePixelRatioF())))
        faults << QStringLiteral("picture not saved");
    return faults.join(QStringLiteral(", "));
}

} // namespace kv5
