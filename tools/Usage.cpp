// SPDX-License-Identifier: MIT
// The texts of tessaline-cli that name the system's printers: CUPS queues and
// virtual printers.
#include "Cli.h"

namespace tessaline {

const char* CliUsage() {
    return "Usage: tessaline-cli COMMAND [ARGUMENTS]\n"
           "\n"
           "Commands:\n"
           "  printers    list every installed printer: CUPS queues, then virtual printers\n"
           "  vprinter    add, remove, inspect, feed and serve virtual printers\n"
           "  queue       add, remove and list CUPS queues that print the logo on every receipt\n"
           "  status      ask a printer reached by its address whether it is ready\n"
           "  discover    find the receipt printers on a network and tell what each one is\n"
           "  profiles    the printer models Tessaline knows: paper, commands, NV memory\n"
           "  nv          store, list, print and delete NV graphics by key\n"
           "  apply       make many printers hold the logos one manifest names\n"
           "  completion  write the bash, zsh or fish completion script\n"
           "\n"
           "Through the Tessaline control, as the program calls it:\n"
           "  register    register the control library (unregister removes it)\n"
           "  info        a logo file's depth and size\n"
           "  preview     convert a logo and write its one-bit preview\n"
           "  upload      store logos in a printer's NV memory\n"
           "  print       print stored NV images\n"
           "  erase       erase a printer's NV memory\n"
           "  describe    the control's type library\n"
           "\n"
           "Run 'tessaline-cli COMMAND --help' for a command's own help, and\n"
           "'tessaline-cli --version' for the version and the commit it was built from.\n";
}

const char* PrintersUsage() {
    return "Usage: tessaline-cli printers [--long]\n"
           "       tessaline-cli printers --set-paper-width DOTS|58mm|80mm QUEUE\n"
           "       tessaline-cli printers --clear-paper-width QUEUE\n"
           "\n"
           "Lists every installed printer name the spooler offers, one a line: the CUPS\n"
           "queues first, in the server's order, then the virtual printers in the order\n"
           "they were added. A queue's paper width, kept with --set-paper-width in the\n"
           "file printer-paper of your settings folder, is checked by every command that\n"
           "stores or prints a logo through it, as a virtual printer's own is: the\n"
           "narrowest of the kept width, the printer's own and --paper-width holds.\n";
}

std::string NoPrintersAdvice(const std::string& printer) {
    return "add a CUPS queue, or a virtual printer with\n"
           "  tessaline-cli vprinter add \"" +
           printer + "\"\n";
}

} // namespace tessaline
