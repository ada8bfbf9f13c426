#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

// The COM registrar's textual script form, as the extension's registration resource holds it:
//
//   HKCR { NoRemove CLSID { ForceRemove {...} = s 'text' { val Name = s 'data' } } }
//
// Tokens are separated by blanks; texts are in single quotes, with '' for a quote. "NoRemove"
// marks a key that unregistration keeps (its listed subkeys still go); "ForceRemove" a key that
// registration deletes whole before writing it afresh. Only string values ("s") occur.

struct RegistryScriptKey {
    std::wstring name;
    bool noRemove = false;
    bool forceRemove = false;
    std::optional<std::wstring> defaultValue;
    std::vector<std::pair<std::wstring, std::wstring>> values;  // the "val" lines
    std::vector<RegistryScriptKey> subkeys;
};

struct RegistryScript {
    std::vector<std::pair<platform::Hive, RegistryScriptKey>> roots;  // root names are NoRemove
};

// Replaces "%MODULE%" by `modulePath` (its quotes doubled) and parses the result; nullopt when
// the text is not a script of this form.
std::optional<RegistryScript> ParseRegistryScript(const std::wstring& text, const std::wstring& modulePath);

// Writes every key and value, parents before children. False at the first write that fails.
bool RegisterScript(const RegistryScript& script, platform::Registry& registry);

// Removes from the leaves up what the script wrote: a key goes once its listed subkeys are gone,
// unless it is NoRemove or other subkeys remain in it. Missing keys are not a failure; false only
// when a removal itself fails.
bool UnregisterScript(const RegistryScript& script, platform::Registry& registry);
