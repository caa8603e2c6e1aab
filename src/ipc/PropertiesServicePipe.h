/* The name of the runtime property server's pipe: the one place that set
   mode, the reference property server, tests and benchmarks take it from.
   Plain C as well, for the benchmarks' bare C client. */
#ifndef ORVEL_IPC_PROPERTIES_SERVICE_PIPE_H
#define ORVEL_IPC_PROPERTIES_SERVICE_PIPE_H

#define ORVEL_PROPERTIES_SERVICE_PIPE "\\\\.\\pipe\\Orvel\\PropertiesService"

#ifdef __cplusplus
namespace Orvel::IPC {
inline constexpr char kPropertiesServicePipe[] = ORVEL_PROPERTIES_SERVICE_PIPE;
}  // namespace Orvel::IPC
#endif

#endif
