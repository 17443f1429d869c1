#include "app/RelayCommands.h"

const std::vector<TRelayCommand>& RelayCommandTable() {
  static const std::vector<TRelayCommand> table = {
      {"on//", "All relays are swiched ON\r\n", 0, true},
      {"off//", "All relays are swiched OFF\r\n", 0, false},
      {"01+//", "Relay 1  switched ON\r\n", 1, true},
      {"01-//", "Relay 1  switched OFF\r\n", 1, false},
      {"02+//", "Relay 2  switched ON\r\n", 2, true},
      {"02-//", "Relay 2  switched OFF\r\n", 2, false},
      {"03+//", "Relay 3  switched ON\r\n", 3, true},
      {"03-//", "Relay 3  switched OFF\r\n", 3, false},
      {"04+//", "Relay 4  switched ON\r\n", 4, true},
      {"04-//", "Relay 4  switched OFF\r\n", 4, false},
      {"05+//", "Relay 5  switched ON\r\n", 5, true},
      {"05-//", "Relay 5  switched OFF\r\n", 5, false},
      {"06+//", "Relay 6  switched ON\r\n", 6, true},
      {"06-//", "Relay 6  switched OFF\r\n", 6, false},
      {"07+//", "Relay 7  switched ON\r\n", 7, true},
      {"07-//", "Relay 7  switched OFF\r\n", 7, false},
      {"08+//", "Relay 8  switched ON\r\n", 8, true},
      {"08-//", "Relay 8  switched OFF\r\n", 8, false},
      {"09+//", "Relay 9  switched ON\r\n", 9, true},
      {"09-//", "Relay 9  switched OFF\r\n", 9, false},
      {"10+//", "Relay 10 switched ON\r\n", 10, true},
      {"10-//", "Relay 10 switched OFF\r\n", 10, false},
      {"11+//", "Relay 11 switched ON\r\n", 11, true},
      {"11-//", "Relay 11 switched OFF\r\n", 11, false},
      {"12+//", "Relay 12 switched ON\r\n", 12, true},
      {"12-//", "Relay 12 switched OFF\r\n", 12, false},
      {"13+//", "Relay 13 switched ON\r\n", 13, true},
      {"13-//", "Relay 13 switched OFF\r\n", 13, false},
      {"14+//", "Relay 14 switched ON\r\n", 14, true},
      {"14-//", "Relay 14 switched OFF\r\n", 14, false},
      {"15+//", "Relay 15 switched ON\r\n", 15, true},
      {"15-//", "Relay 15 switched OFF\r\n", 15, false},
      {"16+//", "Relay 16 switched ON\r\n", 16, true},
      {"16-//", "Relay 16 switched OFF\r\n", 16, false},
  };
  return table;
}

const TRelayCommand* FindRelayCommand(const std::string& text) {
  for (const TRelayCommand& command : RelayCommandTable())
    if (text == command.text) return &command;
  return nullptr;
}
