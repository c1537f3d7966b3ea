#pragma once
// Qt's own texts in Japanese: the standard buttons and dialogs (OK / キャンセル, the file dialogs)
// would otherwise speak English beside the Japanese program.
class QCoreApplication;
class QTranslator;

namespace tk {

// Loads Qt's Japanese catalogue from where the distribution installs it and installs it in
// `app`, which owns it. Null when it is not there; the program then runs with Qt's English texts.
QTranslator* InstallQtTranslations(QCoreApplication& app);

}  // namespace tk
