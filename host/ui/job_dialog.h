// A report module's settings dialog for a job, as "rthost edit" shows it: the
// entries rthost finds in this library when it loads it, so that rthost itself
// needs no window toolkit.
#pragma once

class HConfigItem;
class RTPModule;

// True when windows can be shown (host::ui::HasDisplay).
extern "C" typedef bool (*HostUi_HasDisplayProc)();

// Shows the module's dialog (global or local mode) for `node`, modally, with
// the toolkit's message boxes for the module's questions: 1 accepted (the
// dialog has written `node`), 0 cancelled, -1 the module has no dialog, -2 no
// application could be made (last error set). Raises what the module's
// operations raise; `node` is then as the dialog left it.
extern "C" typedef int (*HostUi_EditJobProc)(RTPModule* module, bool global, HConfigItem* node);
