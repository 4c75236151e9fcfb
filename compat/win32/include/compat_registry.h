// Stand-in extensions around the registry store: importing and reading .reg text.
#ifndef RKWIN_COMPAT_REGISTRY_H
#define RKWIN_COMPAT_REGISTRY_H

#include <string>

// Imports .reg text ("REGEDIT4" or "Windows Registry Editor Version 5.00") into the store of the
// current prefix, as the system's registry editor does. Returns false when the header is missing;
// empty text imports nothing and succeeds.
bool compat_reg_import_text(const std::string& text);

// The store's file on the host ($RKWIN_ROOT/registry.reg).
std::string compat_reg_store_path();

#endif
