#include "cli/Tbxconv.h"

#include "KovrelVersion.h"

const char* UsageText()
{
    return "Usage:\n"
           "  tbxconv info FILE...\n"
           "  tbxconv convert --to X.Y [--strict] SOURCE DEST\n"
           "  tbxconv convert --to X.Y [--strict] --out-dir DIR SOURCE...\n"
           "  tbxconv dump FILE\n"
           "  tbxconv recover [--discard] FILE...\n"
           "  tbxconv --help\n"
           "  tbxconv --version\n"
           "\n"
           "Reads and converts Tabrix files (.tbx) of format versions 1.0, 1.1 and 1.2.\n"
           "\n"
           "  info     prints \"FILE: X.Y\", the version that wrote each file.\n"
           "  convert  writes SOURCE to DEST in version X.Y (1.0, 1.1 or 1.2). DEST may be\n"
           "           SOURCE itself, and X.Y the version it already has. With --out-dir,\n"
           "           each SOURCE is written into DIR under its own file name; every\n"
           "           file is tried, also after one has failed. Two sources with the same\n"
           "           file name are refused before anything is written. With --strict,\n"
           "           a conversion that cannot keep every value of SOURCE (below) fails.\n"
           "  dump     prints the whole content of FILE as JSON (UTF-8). A string is\n"
           "           {\"text\": \"...\"} when it is Shift-JIS text (code page 932), else\n"
           "           {\"hex\": \"...\"}; blocks are hex.\n"
           "  recover  puts back the content each FILE had before a save of it that was\n"
           "           interrupted (a crash, a kill, a power cut) while it rewrote the file\n"
           "           in place, from the journal that save left, and says what it did.\n"
           "           The next save of the file does so too. A journal that fails its\n"
           "           checks (the file was written by another program since, or is\n"
           "           another file) is left alone and named, and the status is 11;\n"
           "           --discard removes such journals once you have looked.\n"
           "\n"
           "FILE and SOURCE may be \"-\", standard input, and DEST \"-\", standard output,\n"
           "which takes the new file's bytes as they are written (the safe save is for\n"
           "files); a file of that name is ./-. The operand \"-\" may stand once on a\n"
           "command line, and not with --out-dir or for recover. A source that is not a\n"
           "plain file (a pipe, a FIFO, /dev/stdin, <(...)) is read to its end into\n"
           "memory; more than the program can address ends with the status 10.\n"
           "\n"
           "A file that fails gets \"tbxconv: FILE: MESSAGE\" on standard error; the other\n"
           "output goes to standard output. A conversion that cannot keep a value of\n"
           "SOURCE still succeeds and names what changed in one line\n"
           "\"tbxconv: SOURCE: NOTE; NOTE\" on standard error: 1.0 has no extension words\n"
           "X1..X4 and no tail words T1..T3, 1.1 and 1.2 keep only the low 16 bits of the\n"
           "head word, and 1.0 and 1.1 write a word 4 of 5 as 4 and of 6 as 3. With\n"
           "--strict it writes nothing instead, says \"tbxconv: SOURCE: not converted\n"
           "(--strict): NOTE; NOTE\", and the status is 12. A write to standard output\n"
           "or standard error that fails ends the run with \"tbxconv: write error:\n"
           "MESSAGE\" on standard error and the status of its cause (7 for a full disk);\n"
           "a reader that goes away (a closed pipe) ends it without a word. Messages are\n"
           "in Japanese under a Japanese locale (LC_ALL, LC_MESSAGES or LANG beginning\n"
           "with \"ja\"; on Windows, a Japanese display language), else in English. On a\n"
           "terminal, a batch of files shows its progress (done/total) on standard error.\n"
           "On Windows, FILE and SOURCE may hold the wildcards * and ?, and /? is --help.\n"
           "\n"
           "Exit status:\n"
           "  0   everything succeeded\n"
           "  1   usage error: unknown command or option, bad --to, missing operands,\n"
           "      \"-\" twice or with --out-dir; nothing is read or written\n"
           "  3   no file name (an empty FILE)\n"
           "  4   the file or its folder does not exist\n"
           "  5   access denied (also a folder given as a file)\n"
           "  6   hardware error\n"
           "  7   disk full\n"
           "  8   too many open files\n"
           "  9   the file cannot be opened (for example, another program holds it)\n"
           "  10  out of memory\n"
           "  11  not a Tabrix file (bad format)\n"
           "  12  --strict: a conversion would not keep every value; nothing is written\n"
           "With several files, the status is the one of the first file that failed.\n";
}

std::string VersionLine()
{
    return "tbxconv " KOVREL_VERSION_TEXT "\n";
}

std::string UsageErrorText(const std::string& reason)
{
    return "tbxconv: " + reason
        + "\ntbxconv: usage: tbxconv info|convert|dump|recover ... (tbxconv --help tells more)\n";
}
