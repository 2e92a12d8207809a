/* A stand-in for IIS's appcmd.exe in the registration scripts' tests: it
 * appends its arguments, as the script wrote them, as a line to appcmd.log
 * in the Windows folder (one for the 32-bit and the 64-bit copy), and fails
 * as appcmd does, with a message and a nonzero status, a command that holds
 * the text of appcmd.fail there. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static FILE* OpenInWindows(const char* name, const char* mode) {
  char path[MAX_PATH + 16];
  GetWindowsDirectoryA(path, MAX_PATH);
  strcat(path, "\\");
  return fopen(strcat(path, name), mode);
}

int main(void) {
  const char* arguments = GetCommandLineA();
  char failing[512] = "";
  FILE* file;
  /* After the program's name, which may be quoted. */
  if (*arguments == '"') arguments = strchr(arguments + 1, '"') + 1;
  arguments += strcspn(arguments, " ");
  arguments += strspn(arguments, " ");

  if ((file = OpenInWindows("appcmd.log", "ab")) == NULL) return 2;
  fprintf(file, "%s\n", arguments);
  fclose(file);
  if ((file = OpenInWindows("appcmd.fail", "rb")) != NULL) {
    if (fgets(failing, sizeof failing, file) == NULL) failing[0] = '\0';
    failing[strcspn(failing, "\r\n")] = '\0';
    fclose(file);
  }
  if (failing[0] == '\0' || strstr(arguments, failing) == NULL) return 0;
  printf("ERROR ( message:stand-in failure of '%s' )\n", failing);
  return 183;
}
