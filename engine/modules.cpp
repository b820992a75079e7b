#include "engine/modules.hpp"

#include <array>

#include "engine/invalid_record.hpp"

namespace wfdesk::engine {

const ModuleType* FindModuleType(std::string_view mtype) {
  static constexpr std::array kTypes = {
      ModuleType{"ebiUpload", RunEbiUpload, CheckEbiUpload},
      ModuleType{"XSLTproc", RunXSLTproc, CheckXSLTproc},
      ModuleType{"BMD5INVOICE", RunBMD5INVOICE, CheckBMD5INVOICE},
      ModuleType{kCheckModuleType, RunXMLvalidate, CheckXMLvalidate},
  };
  for (const auto& type : kTypes) {
    if (type.mtype == mtype) return &type;
  }
  return nullptr;
}

}  // namespace wfdesk::engine
