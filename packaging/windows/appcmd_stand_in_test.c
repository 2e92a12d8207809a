/* A stand-in for IIS's appcmd.exe, for the tests of the registration
 * scripts: it appends its arguments, exactly as the script wrote them, as
 * one line to appcmd.log in the Windows folder, which the 32-bit and the
 * 64-bit copy share. A command that holds the text in appcmd.fail there
 * fails as appcmd does: a message on stdout and a nonzero exit status. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

/* The command line after the program's name, which may be quoted. */
static const char* Arguments(void) {
  const char* line = GetCommandLineA();
  if (*line == '"') {
    line = strchr(line + 1, '"');
    line = line ? line + 1 : "";
  } else {
    while (*line && *line != ' ') ++line;
  }
  while (*line == ' ') ++line;
  return line;
}

/* name in the Windows folder. */
static void InWindows(const char* name, char* path, size_t size) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  snprintf(path, size, "%s\\%s", windows, name);
}

int main(void) {
  const char* arguments = Arguments();
  char path[MAX_PATH + 16];
  char failing[512] = "";
  FILE* file;

  InWindows("appcmd.log", path, sizeof path);
  if ((file = fopen(path, "ab")) == NULL) return 2;
  fprintf(file, "%s\n", arguments);
  fclose(file);

  InWindows("appcmd.fail", path, sizeof path);
  if ((file = fopen(path, "rb")) != NULL) {
    if (fgets(failing, sizeof failing, file) == NULL) failing[0] = '\0';
    failing[strcspn(failing, "\r\n")] = '\0';
    fclose(file);
  }
  if (failing[0] != '\0' && strstr(arguments, failing) != NULL) {
    printf("ERROR ( message:stand-in failure of '%s' )\n", failing);
    return 183;
  }
  return 0;
}
