#pragma once
#include <unknwn.h>

// The module's one class factory, for CShellExtContextMenu. It is never freed: each reference to
// it holds a module lock instead, so the library stays loaded while anyone holds the factory.
IClassFactory& ShellExtClassFactory();
