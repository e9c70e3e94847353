#include "installer/setupconfig.h"

#include <QFileInfo>
#include <cmath>

#include "installer/listfile.h"

namespace tallyra {

std::optional<qint16> ToInteger16(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<qint16>(rounded);
}

QString FormatVersion(int hundredths) { return QString::number(hundredths / 100.0, 'f', 2); }

AppConfigResult ReadAppConfig(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) return {};
    const QStringList items = ReadListFile(path);
    AppConfigResult result;
    result.status = AppConfigStatus::Invalid;
    if (items.size() < 2) return result;
    const QString name = items[0];
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') ||
        name.contains(u'\\') || name.contains(QChar(0)))
        return result;
    const std::optional<qint16> version = ToInteger16(items[1]);
    if (!version) return result;
    result.status = AppConfigStatus::Ok;
    result.config = {name, *version};
    return result;
}

}  // namespace tallyra
