// One turn of the thread's message loop, for the platform's own waits (a
// message box, a file chooser) that keep the program's windows working.
#pragma once

// Takes one message and hands it on, to the dialog keyboard handling of the
// dialog it is for when there is one. False when the queue was empty.
bool PumpOneMessage();

// True when no message waits in the thread's queue (posted or input).
bool MessageQueueIsEmpty();
