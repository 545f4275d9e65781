// SPDX-License-Identifier: MIT
// The texts of tessaline-cli.exe that name the system's printers: those of
// the Windows print spooler. There are no CUPS queues or virtual printers.
#include "Cli.h"

namespace tessaline {

const char* CliUsage() {
    return "Usage: tessaline-cli COMMAND [ARGUMENTS]\n"
           "\n"
           "Commands:\n"
           "  printers    list every printer of the Windows print spooler\n"
           "  status      ask a printer reached by its address whether it is ready\n"
           "  discover    find the receipt printers on a network and tell what each one is\n"
           "  nv          store, list, print and delete NV graphics by key\n"
           "  apply       make many printers hold the logos one manifest names\n"
           "  completion  write the bash, zsh or fish completion script\n"
           "\n"
           "Through Tessaline.ocx, as the program calls it:\n"
           "  register    register Tessaline.ocx as regsvr32 does (unregister removes it)\n"
           "  info        a logo file's depth and size\n"
           "  preview     convert a logo and write its one-bit preview\n"
           "  upload      store logos in a printer's NV memory\n"
           "  print       print stored NV images\n"
           "  erase       erase a printer's NV memory\n"
           "  describe    the control's type library\n"
           "\n"
           "Names are passed in the system's ANSI code page; a file or printer name it\n"
           "cannot hold is refused. A result 0 means the spooler accepted the job.\n"
           "\n"
           "Run 'tessaline-cli COMMAND --help' for a command's own help, and\n"
           "'tessaline-cli --version' for the version and the commit it was built from.\n";
}

const char* PrintersUsage() {
    return "Usage: tessaline-cli printers [--long]\n"
           "       tessaline-cli printers --set-paper-width DOTS|58mm|80mm QUEUE\n"
           "       tessaline-cli printers --clear-paper-width QUEUE\n"
           "\n"
           "Lists every printer of the Windows print spooler, local ones and\n"
           "connections, one a line, in the spooler's order. A printer's paper width,\n"
           "kept with --set-paper-width in the file printer-paper of your settings\n"
           "folder, is checked by every command that stores or prints a logo through\n"
           "it; the narrower of it and --paper-width holds.\n";
}

std::string NoPrintersAdvice(const std::string& printer) {
    return "add the printer \"" + printer + "\" in Windows' Printers settings\n";
}

} // namespace tessaline
