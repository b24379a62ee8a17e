// The process's one QApplication, made on first need by whichever part of
// the process needs Qt first; later users take the one that exists.
#pragma once

class QApplication;

// The application object; made (once) when none exists. Where there is no
// display and no platform was asked for, it runs headless (offscreen).
QApplication* EnsureQtApplication();
