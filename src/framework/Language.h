// The program speaks Japanese, whatever the user's locale: its own texts are Japanese, and Qt's
// own texts (file dialogs, standard buttons) follow from Qt's Japanese translation.
#pragma once

namespace fw {

// UI thread, once the QApplication exists. Sets the Japanese locale as the default and installs
// Qt's Japanese translation (Debian package qt6-translations-l10n). False when that translation
// could not be loaded; Qt's texts then stay in English.
bool UseJapanese();

} // namespace fw
