#pragma once
// Widget toolkit: common entry points.
//
// The toolkit is built in two editions from the same sources:
//   toolkit_shell   for the Toolbay program,
//   toolkit_plugin  for the Zeltscan plug-in (TOOLKIT_PLUGIN_EDITION is
//                   defined for it and for everything that links it).
// Each deliverable links exactly one edition. The image set (":/images/...")
// and the application style sheet (":/Orvi/Qss/Qss/TBX.qss") are linked in
// as resource objects and registered when the binary loads.

#include <QString>

class QWidget;

namespace Toolkit {

// True when this is the plug-in edition.
constexpr bool IsPluginEdition()
{
#ifdef TOOLKIT_PLUGIN_EDITION
    return true;
#else
    return false;
#endif
}

// Makes sure the toolkit's resources are registered and reports whether
// they can be reached. Safe to call any number of times.
bool InitResources();

// The application style sheet (the concatenation the shell installs);
// empty when it cannot be read. Read as Latin-1.
QString ApplicationStyleSheet();

// Lets the window system move the window of a frameless widget with the
// pointer, from a press of the left button: the only way on Wayland, the
// usual one on X11. False where the platform does not (then the caller
// moves the window itself, following the pointer).
bool StartSystemMove(QWidget *pWidget);

} // namespace Toolkit
