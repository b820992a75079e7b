#pragma once

#include <string>
#include <string_view>

#include "engine/module.hpp"

namespace wfdesk::engine {

// The outside programs of our own that the modules start from the module
// folder (the XSLT module starts xsltproc, see kXsltProcessor).
inline constexpr const char* kConverterProgram = "mod_ledgerconv001_x86_32";
inline constexpr const char* kConnectorProgram = "mod_portalsend001_x86_32";

// Module operations: each reads its keys, writes its start line, checks, does
// its work and tells what it came to.
ModuleOutcome RunXSLTproc(const ModuleCall& call);
ModuleOutcome RunBMD5INVOICE(const ModuleCall& call);
ModuleOutcome RunEbiUpload(const ModuleCall& call);
ModuleOutcome RunXMLvalidate(const ModuleCall& call);

// Every problem the module's parameter checks find, without logging,
// starting a program or touching a file.
Problems CheckXSLTproc(const ModuleSection& where);
Problems CheckBMD5INVOICE(const ModuleSection& where);
Problems CheckEbiUpload(const ModuleSection& where);
Problems CheckXMLvalidate(const ModuleSection& where);

struct ModuleType {
  std::string_view mtype;
  ModuleOutcome (*run)(const ModuleCall&);
  Problems (*check)(const ModuleSection&);
};

// The module type of an mtype value, compared with case; nullptr for none.
const ModuleType* FindModuleType(std::string_view mtype);

}  // namespace wfdesk::engine
