#include "tools/default_machine.h"

// A UEFI laptop with one NVMe disk: EFI system partition, a Microsoft
// reserved partition that WMI does not list, Windows on C: with the program
// folder and both boot-configuration scripts, a recovery partition and a
// push-button reset partition holding \Zeph2. Either boot-configuration
// script writes a new store into \EFI\OEM\Boot, as bcdedit does.
const char kDefaultMachineJson[] = R"json({
  "name": "UEFI laptop, one NVMe disk (built-in example)",
  "program": "C:\\Tools\\malvik.exe",
  "clock": "2026-03-07T09:05:02.045",
  "firmware": "uefi",
  "disks": [
    {
      "index": 0,
      "caption": "NVMe Example 512GB",
      "media_type": "Fixed hard disk media",
      "size": 512110190592,
      "signature": null,
      "partitions": [
        {
          "number": 1,
          "label": "ESP",
          "type": "GPT: System",
          "start": 1048576,
          "size": 104857600,
          "files": [
            "EFI/Boot/bootx64.efi",
            "EFI/Microsoft/Boot/bootmgfw.efi",
            "EFI/Microsoft/Boot/bootmgr.efi",
            "EFI/Microsoft/Boot/memtest.efi",
            {"path": "EFI/Microsoft/Boot/BCD", "hidden": true},
            {"path": "EFI/Microsoft/Boot/BCD.LOG", "hidden": true},
            "EFI/Microsoft/Boot/fonts/wgl4_boot.ttf",
            "EFI/Microsoft/Boot/fonts/segoe_slboot.ttf",
            "EFI/Microsoft/Boot/resources/bootres.dll",
            "EFI/Microsoft/Boot/en-US/bootmgfw.efi.mui",
            "EFI/Microsoft/Recovery/"
          ]
        },
        {
          "number": 2,
          "label": "",
          "type": "GPT: Unknown",
          "wmi": false,
          "start": 105906176,
          "size": 16777216
        },
        {
          "number": 3,
          "label": "Windows",
          "type": "GPT: Basic Data",
          "start": 122683392,
          "size": 499000000512,
          "letter": "C:",
          "files": [
            "Tools/malvik.exe",
            {"path": "Tools/modifybcdtoPBR.cmd", "text": "@echo off\r\nbcdedit /store %1\\EFI\\OEM\\Boot\\BCD ...\r\n"},
            {"path": "Tools/modifybcdtoWinRE.cmd", "text": "@echo off\r\nreagentc /setreimage /path %2\\Recovery\\WindowsRE\r\n"},
            "Windows/System32/"
          ]
        },
        {
          "number": 4,
          "label": "RECOVERY",
          "type": "GPT: Unknown",
          "start": 499123736576,
          "size": 1073741824,
          "files": ["Recovery/WindowsRE/Winre.wim"]
        },
        {
          "number": 5,
          "label": "PUSH BUTTON RESET",
          "type": "GPT: Unknown",
          "start": 500197478400,
          "size": 10737418240,
          "files": ["Zeph2/", "Images/install.wim"]
        }
      ]
    }
  ],
  "drives": {"D:": "no-media"},
  "scripts": {
    "modifybcdtoPBR.cmd": {"exit_code": 0, "output": "The operation completed successfully.",
                           "creates": [{"path": "EFI/OEM/Boot/BCD", "hidden": true}]},
    "modifybcdtoWinRE.cmd": {"exit_code": 0, "output": "REAGENTC.EXE: Operation Successful.",
                             "creates": [{"path": "EFI/OEM/Boot/BCD", "hidden": true}]}
  }
}
)json";
