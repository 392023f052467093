#include "FlashProgram.h"

#include "RunLog.h"
#include "StelvarVersion.h"

int FlashProgramMain(int argc, const char* const* argv, IFlashHost& host) {
  CFlashOptions options;
  options.namedPorts = host.NamedPorts();
  if (!options.Parse(argc, argv)) {
    host.Write(IFlashPlatform::kErr, "velflash: " + options.Error() + "\n" + CFlashOptions::Usage(options.namedPorts));
    return 2;
  }
  switch (options.mode) {
    case CFlashOptions::kHelp:
      host.Write(IFlashPlatform::kOut, CFlashOptions::Usage(options.namedPorts));
      return 0;
    case CFlashOptions::kVersion:
      host.Write(IFlashPlatform::kOut, "velflash " STELVAR_VERSION "\n" + host.LibraryVersion() + "\n");
      return 0;
    case CFlashOptions::kListPorts: {
      const std::vector<std::string> ports = host.ListPorts();
      if (ports.empty()) {
        host.Write(IFlashPlatform::kErr, "velflash: this machine has no serial port\n");
        return 1;
      }
      for (const std::string& line : ports) host.Write(IFlashPlatform::kOut, line + "\n");
      return 0;
    }
    case CFlashOptions::kRun:
      break;
  }

  CRunLog log;
  if (!options.log.empty()) {
    std::string reason;
    if (!log.Open(options.log, reason)) {
      host.Write(IFlashPlatform::kErr, "velflash: " + reason + "\n");
      return 2;
    }
    std::vector<std::string> ports;
    for (std::size_t i = 0; i < options.PortCount(); ++i) ports.push_back(options.PortLabel(i));
    if (!log.Append(CRunLog::RunLine(host.UnixTimeMs(), STELVAR_VERSION, host.LibraryVersion(), ports, options.baud,
                                     options.image, options.each))) {
      host.Write(IFlashPlatform::kErr, "velflash: cannot write to the log " + options.log + "\n");
      return 2;
    }
  }
  CRunLog* logged = options.log.empty() ? nullptr : &log;
  if (options.PortCount() > 1) {
    const int status = host.RunStation(options, logged);
    if (logged && log.Failed()) {
      host.Write(IFlashPlatform::kErr, "velflash: cannot write to the log " + options.log +
                                           ": the records of this run are incomplete\n");
      return status == 0 ? 1 : status;
    }
    return status;
  }
  return host.RunSession(options, logged);
}
