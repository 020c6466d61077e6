# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows installer, corvane-VERSION-winBITS-setup.exe: the zip's files
# for all users into Program Files, a Start menu shortcut, an entry in the
# list of installed programs, and an uninstaller that takes exactly that
# away again. packaging/installer.cmake runs makensis on it with:
#   VERSION      the program's version
#   BITS         64 or 32
#   FILES        the folder of the zip's files
#   FILE_LIST    an include defining ForEachFile MACRO, which inserts MACRO
#                with each file's name
#   WINDOW       defined when corvane.exe is among the files
#   DESCRIPTION  one line saying what the program does
#   ICON         the program's icon
#   OUTFILE      the installer to write
# Exit status: 0 done, 1 cancelled by the user, 2 failed (the installer's
# and the uninstaller's alike).

Unicode true
!if ${BITS} == 64
  Target amd64-unicode
!endif
# NSIS's own code in the installer is then zlib-licensed alone.
SetCompressor /SOLID zlib
ManifestDPIAware true
RequestExecutionLevel admin
# A file that cannot be written stops the installation (status 2): skipping
# it, the default when silent, would leave a copy that is half old.
AllowSkipFiles off

!define PRODUCT Corvane
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!ifdef WINDOW
  !define MAIN_PROGRAM corvane.exe
!else
  !define MAIN_PROGRAM corvane-list.exe
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if ${BITS} == 64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
# An update goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" InstallLocation

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey CompanyName "${PRODUCT}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey LegalCopyright "Corvane developers, under the GNU GPL, version 2 or later"

!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh
!include MUI2.nsh
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

!include "${FILE_LIST}"

!macro InstallFile NAME
  File "${FILES}\${NAME}"
!macroend

!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

!macro FailUnlessRemoved NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    MessageBox MB_ICONSTOP "$INSTDIR\${NAME} could not be removed." /SD IDOK
    Abort
  ${EndIf}
!macroend

# A running program, or a file it holds, cannot be replaced or removed:
# found before anything is changed rather than halfway.
!macro FailIfInUse NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${NAME}" a
    ${If} ${Errors}
      MessageBox MB_ICONSTOP "$INSTDIR\${NAME} is in use: close ${PRODUCT} and try again." /SD IDOK
      Abort
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

!macro DefineFailIfRunning PREFIX
  Function ${PREFIX}FailIfRunning
    !insertmacro ForEachFile FailIfInUse
  FunctionEnd
!macroend
!insertmacro DefineFailIfRunning ""
!insertmacro DefineFailIfRunning "un."

# An installed copy in another folder, or one of the other bitness (32-bit
# programs are recorded in the registry's 32-bit view), is uninstalled
# first: one copy, one entry, one shortcut. One in this folder is simply
# overwritten.
!macro RemoveOtherCopy VIEW
  SetRegView ${VIEW}
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $1 == ""
  ${ElseIf} $1 == $INSTDIR
    !if ${VIEW} != ${BITS}
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    !endif
  ${ElseIf} ${FileExists} "$1\uninstall.exe"
    ClearErrors
    ExecWait '"$1\uninstall.exe" /S _?=$1' $2
    ${If} ${Errors}
    ${OrIf} $2 != 0
      SetRegView ${BITS}
      MessageBox MB_ICONSTOP "The copy of ${PRODUCT} in $1 could not be uninstalled." /SD IDOK
      Abort
    ${EndIf}
  ${Else}
    # Its folder is gone: the entry alone is left.
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  SetRegView ${BITS}
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView ${BITS}
FunctionEnd

Section
  Call FailIfRunning
  !if ${BITS} == 64
    !insertmacro RemoveOtherCopy 64
    !insertmacro RemoveOtherCopy 32
  !else
    !insertmacro RemoveOtherCopy 32
    ${If} ${RunningX64}
      !insertmacro RemoveOtherCopy 64
    ${EndIf}
  !endif

  # The shortcut's working directory is the output path: the program reads
  # devices.lst from there.
  SetOutPath "$INSTDIR"
  !insertmacro ForEachFile InstallFile
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  !ifdef WINDOW
    CreateShortcut "${SHORTCUT}" "$INSTDIR\corvane.exe" "" "$INSTDIR\corvane.exe" 0 SW_SHOWNORMAL "" \
      "${DESCRIPTION}"
  !endif

  SectionGetSize 0 $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${MAIN_PROGRAM},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  # With _?= the uninstaller works in place and its status is the outcome
  # (see the uninstaller's section).
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "The uninstaller, the shortcut or the uninstall entry could not be written." /SD IDOK
    Abort
  ${EndIf}
SectionEnd

# An uninstaller that runs in place (started with _?=FOLDER, as the entry's
# QuietUninstallString does, or by an installer) cannot delete its own file
# while it runs: it starts it once more with /cleanup, the usual way, so that
# a copy of it in the temporary folder takes uninstall.exe and the folder
# away once it has ended. Its status is then what it did.
Function un.onInit
  SetShellVarContext all
  SetRegView ${BITS}
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 /cleanup $1
  ${IfNot} ${Errors}
    Call un.RemoveUninstallerWhenFree
    Quit
  ${EndIf}
FunctionEnd

# Up to 10 s for the uninstaller that started this one to end.
Function un.RemoveUninstallerWhenFree
  ${For} $0 1 200
    # A copy installed here meanwhile keeps its uninstaller.
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
    ${If} $1 == $INSTDIR
      Return
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
      ${Break}
    ${EndIf}
    Sleep 50
  ${Next}
  RMDir "$INSTDIR"
FunctionEnd

Section Uninstall
  Call un.FailIfRunning
  !insertmacro ForEachFile RemoveFile
  # What the program may have written there.
  Delete "$INSTDIR\error.log"
  !insertmacro ForEachFile FailUnlessRemoved
  !ifdef WINDOW
    Delete "${SHORTCUT}"
  !endif
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $1 != ""
  ${OrIf} ${FileExists} "${SHORTCUT}"
    MessageBox MB_ICONSTOP "The shortcut or the uninstall entry could not be removed." /SD IDOK
    Abort
  ${EndIf}

  # Files the user put there stay, and the folder with them.
  SetOutPath "$TEMP"
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    Exec '"$INSTDIR\uninstall.exe" /S /cleanup'
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd
