#pragma once

class QCoreApplication;

namespace tallyra {

// Qt's own texts (dialog buttons, the file and font dialogs) in the language of ours:
// Simplified Chinese, or the Chinese the locale names. False when no translation could be
// loaded (the package that holds them is missing).
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace tallyra
