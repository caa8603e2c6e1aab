/* Set-mode reference: the least a client of the property server must do
 * before it could write a property. It connects to the server's socket (the
 * abstract Unix socket named by the pipe text), sends RequestHandshake, answers
 * RequestClientRole with the TRACKING role and reads frames until
 * PropertyDefinitions has arrived whole. Raw socket calls, frames made by
 * hand, no threads. Exit status 0 only when the definitions arrived.
 * Usage: reference_set_client [pipe name] */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "ipc/PropertiesServicePipe.h"

#define CLIENT_NAME "OrvelPluginVerifier"
#define SIGNATURE "orve"
#define ROLE_TRACKING 3u

static void putUint32(uint8_t* out, uint32_t value) {
  out[0] = (uint8_t)value;
  out[1] = (uint8_t)(value >> 8);
  out[2] = (uint8_t)(value >> 16);
  out[3] = (uint8_t)(value >> 24);
}

static uint32_t getUint32(const uint8_t* in) {
  return (uint32_t)in[0] | (uint32_t)in[1] << 8 | (uint32_t)in[2] << 16 | (uint32_t)in[3] << 24;
}

static int writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return 0;
    data += sent;
    size -= (size_t)sent;
  }
  return 1;
}

static int readAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t got = recv(fd, data, size, 0);
    if (got <= 0) return 0;
    data += got;
    size -= (size_t)got;
  }
  return 1;
}

/* Frame: totalLength, "orve", nameLength, name, payloadLength, payload. */
static int sendFrame(int fd, const char* name, const uint8_t* payload, uint32_t payloadLength) {
  const uint32_t nameLength = (uint32_t)strlen(name);
  const uint32_t total = 16 + nameLength + payloadLength;
  uint8_t frame[256];
  if (total > sizeof frame) return 0;
  putUint32(frame, total);
  memcpy(frame + 4, SIGNATURE, 4);
  putUint32(frame + 8, nameLength);
  memcpy(frame + 12, name, nameLength);
  putUint32(frame + 12 + nameLength, payloadLength);
  memcpy(frame + 16 + nameLength, payload, payloadLength);
  return writeAll(fd, frame, total);
}

static int isName(const uint8_t* body, uint32_t nameLength, const char* name) {
  return nameLength == strlen(name) && memcmp(body + 4, name, nameLength) == 0;
}

int main(int argc, char* argv[]) {
  const char* pipeName = argc > 1 ? argv[1] : ORVEL_PROPERTIES_SERVICE_PIPE;
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const size_t pipeLength = strlen(pipeName);
  if (pipeLength + 1 > sizeof address.sun_path) return 2;
  memcpy(address.sun_path + 1, pipeName, pipeLength);
  const socklen_t addressLength = (socklen_t)(offsetof(struct sockaddr_un, sun_path) + 1 + pipeLength);

  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, (const struct sockaddr*)&address, addressLength) != 0) {
    perror("connect");
    return 1;
  }

  uint8_t handshake[4 + sizeof CLIENT_NAME - 1];
  putUint32(handshake, (uint32_t)(sizeof CLIENT_NAME - 1));
  memcpy(handshake + 4, CLIENT_NAME, sizeof CLIENT_NAME - 1);
  if (!sendFrame(fd, "RequestHandshake", handshake, sizeof handshake)) return 1;

  int handshakeAnswered = 0;
  uint8_t* body = NULL;
  for (;;) {
    uint8_t header[8];
    if (!readAll(fd, header, sizeof header) || memcmp(header + 4, SIGNATURE, 4) != 0) break;
    const uint32_t total = getUint32(header);
    if (total < 16) break;
    body = realloc(body, total - 8);
    if (body == NULL || !readAll(fd, body, total - 8)) break;
    const uint32_t nameLength = getUint32(body);
    if (nameLength + 8 > total - 8) break;
    if (isName(body, nameLength, "ResponseHandshake")) {
      handshakeAnswered = 1;
    } else if (isName(body, nameLength, "RequestClientRole")) {
      uint8_t role[8] = {0};
      putUint32(role, ROLE_TRACKING);
      if (!sendFrame(fd, "ResponseClientRole", role, sizeof role)) break;
    } else if (isName(body, nameLength, "PropertyDefinitions") && handshakeAnswered) {
      const uint32_t payloadLength = getUint32(body + 4 + nameLength);
      const uint32_t count = payloadLength >= 4 ? getUint32(body + 8 + nameLength) : 0;
      printf("%u property definitions\n", count);
      free(body);
      close(fd);
      return count > 0 ? 0 : 1;
    }
  }
  free(body);
  close(fd);
  fprintf(stderr, "the connection ended before the property definitions arrived\n");
  return 1;
}
