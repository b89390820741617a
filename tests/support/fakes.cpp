#include "tests/support/fakes.h"

namespace salvorine::test {

MessageTable TestMessages() {
  MessageTable messages;
  messages.Set(24, "Elapsed:");
  messages.Set(45, "Stop?");
  messages.Set(48, "Done.");
  return messages;
}

}  // namespace salvorine::test
