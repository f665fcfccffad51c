; The Windows installer, made on Debian by tools/package-windows.sh with NSIS's makensis:
;   makensis -DVERSION=1.0.0 -DBUILD=<build-win> -DOUTFILE=<setup.exe>
;            -DLICENSE=<the licence's text, Windows line ends> [-DVST3] [-DCLAP]
;            installer/vorlak.nsi
; VST3 and CLAP take the VST 3 bundle (BUILD/vorlak.vst3) and the CLAP module
; (BUILD/vorlak.clap); the script passes them when the build made them.
;
; Silent install: vorlak-<version>-setup.exe /S [/VST2DIR=<folder>] [/D=<tool folder>]
; Everything it puts on the machine is recorded, and the uninstaller registered with
; Windows removes exactly that, and the folders it made.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION | BUILD | OUTFILE | LICENSE
  !error "makensis needs -DVERSION, -DBUILD, -DOUTFILE and -DLICENSE (see tools/package-windows.sh)"
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlak"
; Where the player's choices are kept, for the uninstaller and for vorlak-render.exe, which
; finds the installed vorlak.dll through VST2Folder.
!define SETTINGS_KEY "Software\Vorlak"

Name "Vorlak ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vorlak"
BrandingText "Vorlak ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vorlak"
VIAddVersionKey /LANG=1033 "CompanyName" "Kivo"
VIAddVersionKey /LANG=1033 "FileDescription" "Vorlak ${VERSION} installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 Vorlak developers. GNU GPL version 3 or later."

Var Vst2Dir

!define MUI_ABORTWARNING
; The GPL grants rights and asks no acceptance, so the page informs and goes on with Next.
!define MUI_LICENSEPAGE_TEXT_TOP "Vorlak is free software, under the GNU General Public License, version 3 or later."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You need not accept this licence to use Vorlak; it says how you may share and change it. Its text is installed as LICENSE.txt in the program folder."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_HEADER_TEXT "VST 2 folder"
!define MUI_PAGE_HEADER_SUBTEXT "The folder your host scans for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "vorlak.dll goes into this folder. Choose the one your host scans for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst2PageWithoutVst2
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "Program folder"
!define MUI_PAGE_HEADER_SUBTEXT "The folder of vorlak-render.exe and the uninstaller."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Makes a folder, and records the outermost folder it had to make, so that the uninstaller
; removes what it made again and no more: folders that were there before stay.
!macro MakeFolder folder name
  Push "${folder}"
  Push "${name}"
  Call MakeFolder
!macroend
Function MakeFolder
  Exch $1  ; name
  Exch
  Exch $0  ; folder
  Push $2
  Push $3
  StrCpy $2 $0
  StrCpy $3 ""
  ${DoWhile} $2 != ""
    ${If} ${FileExists} "$2\*.*"
      ${Break}
    ${EndIf}
    StrCpy $3 $2
    ${GetParent} $2 $2
  ${Loop}
  CreateDirectory $0
  ${If} $3 != ""
    WriteRegStr HKLM "${SETTINGS_KEY}" "Made$1" $3
  ${EndIf}
  Pop $3
  Pop $2
  Pop $0
  Pop $1
FunctionEnd

; Removes the folder and its parents up to the outermost one the installer made, each only
; when empty, and forgets that it made them. The installer needs it too, when a reinstall
; moves the VST 2 module to another folder.
!macro RemoveFolderIfMadeBody
  Exch $1  ; name
  Exch
  Exch $0  ; folder
  Push $2
  ReadRegStr $2 HKLM "${SETTINGS_KEY}" "Made$1"
  ${If} $2 != ""
    ${DoWhile} $0 != ""
      RMDir $0
      ${If} $0 == $2
        ${Break}
      ${EndIf}
      ${GetParent} $0 $0
    ${Loop}
    DeleteRegValue HKLM "${SETTINGS_KEY}" "Made$1"
  ${EndIf}
  Pop $2
  Pop $0
  Pop $1
!macroend
Function RemoveFolderIfMade
  !insertmacro RemoveFolderIfMadeBody
FunctionEnd
Function un.RemoveFolderIfMade
  !insertmacro RemoveFolderIfMadeBody
FunctionEnd
!macro RemoveFolderIfMade folder name
  Push "${folder}"
  Push "${name}"
  !ifdef __UNINSTALL__
    Call un.RemoveFolderIfMade
  !else
    Call RemoveFolderIfMade
  !endif
!macroend

Function .onInit
  SetRegView 64
  StrCpy $Vst2Dir "$COMMONFILES64\VST2"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/VST2DIR=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    StrCpy $Vst2Dir $1
  ${EndIf}
FunctionEnd

; Always, and first, so that it sees whether the program folder was there: the uninstaller
; and its entry in Windows' list of programs.
Section "-Uninstaller"
  !insertmacro MakeFolder "$INSTDIR" InstallFolder
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${SETTINGS_KEY}" "InstallFolder" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vorlak"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kivo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://vorlak.kivo.audio"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Always: the licence beside the program.
Section "-Licence"
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
SectionEnd

Section "VST 2 plug-in (vorlak.dll)" SectionVst2
  ; A reinstall into another folder takes the module, and the folders made for it, out of the
  ; one it was in, so that hosts do not find two.
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "VST2Folder"
  ${If} $0 != ""
  ${AndIf} $0 != $Vst2Dir
    Delete "$0\vorlak.dll"
    !insertmacro RemoveFolderIfMade "$0" Vst2Folder
  ${EndIf}
  !insertmacro MakeFolder "$Vst2Dir" Vst2Folder
  SetOutPath "$Vst2Dir"
  File "${BUILD}/vorlak.dll"
  WriteRegStr HKLM "${SETTINGS_KEY}" "VST2Folder" "$Vst2Dir"
SectionEnd

!ifdef VST3
Section "VST 3 plug-in (vorlak.vst3)" SectionVst3
  !insertmacro MakeFolder "$COMMONFILES64\VST3" Vst3Folder
  ; A bare folder name would have /r look for that name everywhere under BUILD, Wine prefixes
  ; and their link to the root included; the bundle's own contents are what it holds.
  SetOutPath "$COMMONFILES64\VST3\vorlak.vst3"
  File /r "${BUILD}/vorlak.vst3/*"
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "Vst3" 1
SectionEnd
!endif

!ifdef CLAP
Section "CLAP plug-in (vorlak.clap)" SectionClap
  !insertmacro MakeFolder "$COMMONFILES64\CLAP" ClapFolder
  SetOutPath "$COMMONFILES64\CLAP"
  File "${BUILD}/vorlak.clap"
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "Clap" 1
SectionEnd
!endif

Section "Command-line renderer (vorlak-render.exe)" SectionRender
  SetOutPath "$INSTDIR"
  File "${BUILD}/vorlak-render.exe"
SectionEnd


Section "-Size"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionVst2} "The instrument for VST 2 hosts."
!ifdef VST3
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionVst3} "The instrument for VST 3 hosts, in Common Files\VST3."
!endif
!ifdef CLAP
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionClap} "The instrument for CLAP hosts, in Common Files\CLAP."
!endif
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionRender} "Plays MIDI files through the instrument into WAV files."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function SkipVst2PageWithoutVst2
  ${IfNot} ${SectionIsSelected} ${SectionVst2}
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  ReadRegStr $1 HKLM "${SETTINGS_KEY}" "VST2Folder"
  ${If} $1 != ""
    Delete "$1\vorlak.dll"
    !insertmacro RemoveFolderIfMade "$1" Vst2Folder
  ${EndIf}
  ReadRegDWORD $0 HKLM "${SETTINGS_KEY}" "Vst3"
  ${If} $0 = 1
    RMDir /r "$COMMONFILES64\VST3\vorlak.vst3"
    !insertmacro RemoveFolderIfMade "$COMMONFILES64\VST3" Vst3Folder
  ${EndIf}
  ReadRegDWORD $0 HKLM "${SETTINGS_KEY}" "Clap"
  ${If} $0 = 1
    Delete "$COMMONFILES64\CLAP\vorlak.clap"
    !insertmacro RemoveFolderIfMade "$COMMONFILES64\CLAP" ClapFolder
  ${EndIf}
  Delete "$INSTDIR\vorlak-render.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro RemoveFolderIfMade "$INSTDIR" InstallFolder
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd
