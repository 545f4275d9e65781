' SPDX-License-Identifier: MIT
' Calling the Tessaline control from VBScript, as a script host on Windows
' does once Tessaline.ocx is registered (regsvr32 Tessaline.ocx):
'
'   cscript //nologo tessaline.vbs PRINTER LOGO...
'
' Asks each logo's depth and size (BitmapInfo writes them into the script's
' variables), writes the preview of the first one into the current folder,
' stores the logos in the printer's NV memory as images 1, 2, ... (Upload)
' and prints them all (Print). When a call fails, ErrorText says why.
' What goes wrong with files and printers comes back as a result value, not
' an error: 0 done, -5 the printer is not installed, other values (-1 to -4)
' a failure ErrorText explains. A call whose arguments do not fit raises a
' run-time error the script sees: a wrong count, a value that is no number
' or string, a number too large, or a value (not a variable) where BitmapInfo
' writes back; ErrorText then names the argument.
' Names reach the control in the system's ANSI code page; one it cannot hold
' is refused (-4, or -1 for BitmapInfo), never swapped for a look-alike.
'
'
' Current printers also keep logos as NV graphics, each under a key of two
' characters (from blank to "~"). Given "graphic KEY" first, the script
' stores one logo under KEY (StoreGraphic), lists the keys the printer holds
' (GraphicKeys: one string, two characters a key), prints the graphic by its
' key (PrintGraphic) and deletes it again (DeleteGraphic; "" deletes all):
'
'   cscript //nologo tessaline.vbs graphic KEY PRINTER LOGO
'
' Through a printer's address (socket://HOST:PORT, usb:///dev/usb/lp0,
' serial://COM1, file:///PATH) each step is checked against the key list the
' printer sends back: 0 with an empty ErrorText means it holds what was
' asked, -6 that it refused or did not keep it (no room: ErrorText gives the
' figures). Through a spooler queue, or to a printer that does not answer,
' the bytes go blind: 0, and ErrorText says they were not verified; a
' spooler queue cannot be asked for its keys at all. On many printers
' defining NV graphics erases every NV image stored with Upload, and an
' Upload erases every NV graphic: use one or the other.
'
' The last line is "RESULT: PASS" or "RESULT: FAIL", and the exit status 0
' or 1, so a program that runs the script can tell how it went.
Option Explicit

Dim args : Set args = WScript.Arguments
Dim graphicMode : graphicMode = False
If args.Count > 0 Then graphicMode = (LCase(args(0)) = "graphic")
If args.Count < 2 Or (graphicMode And args.Count <> 4) Then
    WScript.Echo "usage: cscript //nologo tessaline.vbs PRINTER LOGO..."
    WScript.Echo "       cscript //nologo tessaline.vbs graphic KEY PRINTER LOGO"
    WScript.Quit 2
End If

Sub Finish(passed)
    If passed Then
        WScript.Echo "RESULT: PASS"
        WScript.Quit 0
    End If
    WScript.Echo "RESULT: FAIL"
    WScript.Quit 1
End Sub

On Error Resume Next
Dim control : Set control = CreateObject("TESSALINE.TessalineCtrl.1")
If Err.Number <> 0 Then
    WScript.Echo "The Tessaline control is not registered: " & Err.Description
    Finish False
End If
On Error GoTo 0

' Says what a graphics method returned, and ends the script when it failed.
Sub Outcome(method, result)
    Dim note : note = control.ErrorText
    If result <> 0 Then
        WScript.Echo method & ": " & result & " " & note
        Finish False
    End If
    If note = "" Then note = "verified"
    WScript.Echo method & ": 0 (" & note & ")"
End Sub

If graphicMode Then
    Dim key : key = args(1)
    Dim graphicPrinter : graphicPrinter = args(2)
    ' Image mode 1 ("Error Diffusion"), brightness 5, as Upload converts.
    Outcome "StoreGraphic", control.StoreGraphic(graphicPrinter, key, args(3), 1, 5)
    Dim keys : keys = control.GraphicKeys(graphicPrinter)
    If control.ErrorText <> "" Then
        WScript.Echo "GraphicKeys: " & control.ErrorText
    Else
        Dim k, shown : shown = ""
        For k = 1 To Len(keys) Step 2
            shown = shown & " [" & Mid(keys, k, 2) & "]"
        Next
        WScript.Echo "GraphicKeys:" & shown
    End If
    ' Scale 1 across and 2 down: twice as tall.
    Outcome "PrintGraphic", control.PrintGraphic(graphicPrinter, key, 1, 2)
    Outcome "DeleteGraphic", control.DeleteGraphic(graphicPrinter, key)
    Finish True
End If

Dim printerName : printerName = args(0)
Dim nvImage : nvImage = ""
Dim i, fileName, bitsPixel, height, width, result
For i = 1 To args.Count - 1
    fileName = args(i)
    ' BitmapInfo fills the three variables it is given (ByRef).
    result = control.BitmapInfo(fileName, bitsPixel, height, width)
    If result <> 0 Then
        WScript.Echo fileName & ": " & control.ErrorText
        Finish False
    End If
    WScript.Echo "BitmapInfo: bits=" & bitsPixel & " height=" & height & " width=" & width
    ' The list the control takes: each path followed by "|".
    nvImage = nvImage & fileName & "|"
Next

' Image mode 0 ("None"; 1 is "Error Diffusion", which also writes
' TempTe.bmp into the current folder, as Upload does then), brightness 5
' (0 to 10).
Dim imageMode : imageMode = 0
Dim brightness : brightness = 5
Dim preview : preview = control.Preview(args(1), imageMode, brightness)
If control.ErrorText <> "" Then
    WScript.Echo "Preview: " & control.ErrorText
    Finish False
End If
WScript.Echo "Preview: " & preview

' Printer 0 stores the images; the logos replace every image stored before.
result = control.Upload(0, printerName, nvImage, imageMode, brightness)
WScript.Echo "Upload: " & result
If result <> 0 Then
    WScript.Echo control.ErrorText
    Finish False
End If

' Printer 0 prints: Range 0 is every image, Mode 0 the normal size.
result = control.Print(0, printerName, 0, 0, 0)
WScript.Echo "Print: " & result
If result <> 0 Then
    WScript.Echo control.ErrorText
    Finish False
End If

Finish True
