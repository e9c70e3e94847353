#pragma once

#include <QString>
#include <optional>

namespace tallyra {

// What data/appname.txt names: the application and its version in hundredths (101 = 1.01).
struct AppConfig {
    QString appName;
    qint16 appVersion = 0;
};

enum class AppConfigStatus { Ok, Missing, Invalid };

struct AppConfigResult {
    AppConfigStatus status = AppConfigStatus::Missing;
    AppConfig config;
};

// Missing: the file cannot be read. Invalid: no usable name (empty, or not a plain file
// name, since it becomes the executable's name inside the target folder) or a version that
// is not a whole number of 16 bits.
AppConfigResult ReadAppConfig(const QString& path);

// A settings or file value as a 16-bit integer, rounded half to even; nothing when it is
// not a number or does not fit.
std::optional<qint16> ToInteger16(const QString& text);

// Hundredths as "0.00": 101 -> "1.01", 5 -> "0.05".
QString FormatVersion(int hundredths);

}  // namespace tallyra
