#pragma once
// "Save the project as": the save dialog, the name check and the write, offered before a run (the
// options page) and after it (the download page) alike.
#include <functional>
#include <string>

class QWidget;

namespace tk {

// The save-file dialog for the project: initial folder and name in, chosen path out; false when
// cancelled. Pages take another in tests.
using SavePrompt = std::function<bool(QWidget* owner, const std::string& folder, const std::string& name,
                                      std::string& path)>;

// The desktop's save dialog for project files. An empty folder leaves the dialog in its own, and a
// name with a folder opens that folder.
bool AskProjectSavePath(QWidget* owner, const std::string& folder, const std::string& name, std::string& path);

// Asks where with `prompt`, then saves the project there. A name that is not a project file's, or
// a write that fails, is shown as an input error. False then and when the dialog is cancelled: the
// user stays where they were and must not go on believing the project saved.
bool SaveProjectAs(QWidget* owner, const SavePrompt& prompt, const std::string& folder, const std::string& name);

}  // namespace tk
