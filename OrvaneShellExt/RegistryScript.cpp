#include "OrvaneShellExt/RegistryScript.h"

#include <cwctype>

#include "platform/RegistryValues.h"

namespace {

struct Token {
    std::wstring text;
    bool quoted = false;
    bool Is(const wchar_t* word) const { return !quoted && text == word; }
};

std::wstring Expand(const std::wstring& text, const std::wstring& modulePath) {
    std::wstring quoted;
    for (wchar_t c : modulePath) {
        quoted += c;
        if (c == L'\'') quoted += c;
    }
    static const std::wstring marker = L"%MODULE%";
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(marker, from)) != std::wstring::npos; from = at + marker.size())
        result += text.substr(from, at - from) + quoted;
    return result + text.substr(from);
}

std::optional<std::vector<Token>> Tokenize(const std::wstring& text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::iswspace(text[i])) {
            ++i;
        } else if (text[i] == L'\'') {
            Token token{L"", true};
            for (++i;; ++i) {
                if (i >= text.size()) return std::nullopt;  // unterminated text
                if (text[i] == L'\'') {
                    if (i + 1 < text.size() && text[i + 1] == L'\'') {
                        token.text += L'\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += text[i];
            }
            tokens.push_back(std::move(token));
        } else {
            Token token;
            while (i < text.size() && !std::iswspace(text[i])) token.text += text[i++];
            tokens.push_back(std::move(token));
        }
    }
    return tokens;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    std::optional<RegistryScript> Script() {
        RegistryScript script;
        while (!AtEnd()) {
            const auto hive = Hive(Next().text);
            if (!hive) return std::nullopt;
            RegistryScriptKey root;
            root.noRemove = true;
            if (!Expect(L"{") || !Body(root)) return std::nullopt;
            script.roots.emplace_back(*hive, std::move(root));
        }
        return script;
    }

private:
    static std::optional<platform::Hive> Hive(const std::wstring& name) {
        if (name == L"HKCR" || name == L"HKEY_CLASSES_ROOT") return platform::Hive::ClassesRoot;
        if (name == L"HKCU" || name == L"HKEY_CURRENT_USER") return platform::Hive::CurrentUser;
        if (name == L"HKLM" || name == L"HKEY_LOCAL_MACHINE") return platform::Hive::LocalMachine;
        return std::nullopt;
    }

    // Everything up to and including the closing brace of `key`.
    bool Body(RegistryScriptKey& key) {
        while (!AtEnd()) {
            if (Peek().Is(L"}")) {
                Next();
                return true;
            }
            if (Peek().Is(L"val")) {
                Next();
                if (AtEnd()) return false;
                std::wstring name = Next().text;
                auto data = Assignment();
                if (!data) return false;
                key.values.emplace_back(std::move(name), std::move(*data));
                continue;
            }
            RegistryScriptKey subkey;
            if (!Key(subkey)) return false;
            key.subkeys.push_back(std::move(subkey));
        }
        return false;  // no closing brace
    }

    bool Key(RegistryScriptKey& key) {
        if (Peek().Is(L"NoRemove")) key.noRemove = true, Next();
        else if (Peek().Is(L"ForceRemove")) key.forceRemove = true, Next();
        if (AtEnd() || (!Peek().quoted && (Peek().text == L"{" || Peek().text == L"}" || Peek().text == L"=")))
            return false;
        key.name = Next().text;
        if (key.name.empty()) return false;
        if (!AtEnd() && Peek().Is(L"=")) {
            auto data = Assignment();
            if (!data) return false;
            key.defaultValue = std::move(*data);
        }
        if (!AtEnd() && Peek().Is(L"{")) {
            Next();
            return Body(key);
        }
        return true;
    }

    // "= s 'text'"
    std::optional<std::wstring> Assignment() {
        if (!Expect(L"=") || !Expect(L"s") || AtEnd() || !Peek().quoted) return std::nullopt;
        return Next().text;
    }

    bool Expect(const wchar_t* word) {
        if (AtEnd() || !Peek().Is(word)) return false;
        Next();
        return true;
    }
    bool AtEnd() const { return m_next >= m_tokens.size(); }
    const Token& Peek() const { return m_tokens[m_next]; }
    const Token& Next() { return m_tokens[m_next++]; }

    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
};

bool Register(const RegistryScriptKey& key, platform::RegistryKey& parent) {
    if (key.forceRemove) parent.DeleteTree(key.name);  // a missing key is what we want anyway
    auto opened = parent.Create(key.name);
    if (!opened) return false;
    if (key.defaultValue && !platform::WriteString(*opened, L"", *key.defaultValue)) return false;
    for (const auto& [name, data] : key.values)
        if (!platform::WriteString(*opened, name, data)) return false;
    for (const RegistryScriptKey& subkey : key.subkeys)
        if (!Register(subkey, *opened)) return false;
    return true;
}

bool UnregisterBelow(const RegistryScriptKey& key, platform::RegistryKey& opened) {
    bool ok = true;
    for (const RegistryScriptKey& subkey : key.subkeys) {
        auto child = opened.Open(subkey.name, platform::Access::ReadWrite);
        if (!child) continue;  // nothing there to remove
        ok = UnregisterBelow(subkey, *child) && ok;
        const bool keep = subkey.noRemove || !child->SubkeyNames().empty();
        child.reset();
        if (!keep) ok = opened.DeleteTree(subkey.name) && ok;
    }
    for (const auto& value : key.values) opened.DeleteValue(value.first);
    return ok;
}

}  // namespace

std::optional<RegistryScript> ParseRegistryScript(const std::wstring& text, const std::wstring& modulePath) {
    auto tokens = Tokenize(Expand(text, modulePath));
    if (!tokens) return std::nullopt;
    return Parser(std::move(*tokens)).Script();
}

bool RegisterScript(const RegistryScript& script, platform::Registry& registry) {
    for (const auto& [hive, root] : script.roots) {
        auto opened = registry.Root(hive);
        if (!opened) return false;
        for (const RegistryScriptKey& key : root.subkeys)
            if (!Register(key, *opened)) return false;
    }
    return true;
}

bool UnregisterScript(const RegistryScript& script, platform::Registry& registry) {
    bool ok = true;
    for (const auto& [hive, root] : script.roots) {
        auto opened = registry.Root(hive);
        if (!opened) return false;
        ok = UnregisterBelow(root, *opened) && ok;
    }
    return ok;
}
