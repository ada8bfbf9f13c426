#pragma once
#include <string>

#include "OrvaneShellExt/RegistryScript.h"
#include "platform/Registry.h"

// Where the extension's class is registered. On Windows HKEY_CLASSES_ROOT is a view of two
// places: the machine's classes, which only an elevated administrator may write, and the
// user's own, HKEY_CURRENT_USER\Software\Classes, which take precedence for that user. Wine does
// not merge the two, so HKEY_CLASSES_ROOT there shows the machine's only.

// CLSID_ShellExtContextMenu in braces, as its registry key names it.
inline const std::wstring kShellExtClsidText = L"{3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}";

// The same script with its HKEY_CLASSES_ROOT entries moved below HKEY_CURRENT_USER\Software\Classes.
RegistryScript PerUserScript(const RegistryScript& script);

// Writes the script's entries to the machine's classes and removes a per-user copy that would
// hide them; where the machine's classes cannot be written (a standard user, an administrator
// without elevation), writes the same entries to the user's classes instead. False when neither
// could be written.
bool RegisterExtension(const RegistryScript& script, platform::Registry& registry);

// Removes the entries from the machine's classes and from the user's, wherever they are. False
// when a removal failed.
bool UnregisterExtension(const RegistryScript& script, platform::Registry& registry);

// True when the class is registered, for the machine or for the user, with a library file that
// exists: then there is nothing to register. Reads only, so a user who may not write the
// machine's classes sees a machine-wide registration too.
bool IsExtensionRegistered(platform::Registry& registry);
