' SPDX-License-Identifier: MIT
' Calling the Tessaline control from VBA (Excel, Access, Word) on Windows,
' once Tessaline.ocx is registered.
'
' Either place the control on a UserForm (Tools > Additional Controls...,
' tick "Tessaline Control"; it then gets a name such as Tessaline1 and its
' Progress event) and paste the form's part below into the form's code, or
' create it without a form as UploadLogos does (no events then).
'
' The VBScript beside this file (tessaline.vbs) makes the same calls and is
' the one the tests run.
Option Explicit

' --- a standard module -------------------------------------------------------

Public Sub UploadLogos()
    Dim control As Object
    Set control = CreateObject("TESSALINE.TessalineCtrl.1")

    ' BitmapInfo writes the depth and size into the variables it is given.
    Dim bitsPixel As Long, height As Long, width As Long
    If control.BitmapInfo("C:\Logos\logo.bmp", bitsPixel, height, width) <> 0 Then
        MsgBox control.ErrorText
        Exit Sub
    End If
    Debug.Print "bits=" & bitsPixel & " height=" & height & " width=" & width

    ' The list Upload takes: each path followed by "|". Printer 0 stores the
    ' images, mode 1 is "Error Diffusion", brightness 5 (0 to 10).
    Dim result As Long
    result = control.Upload(0, "THERMAL #1", "C:\Logos\logo.bmp|C:\Logos\coupon.bmp|", 1, 5)
    If result = 0 Then
        ' Range 0 with lngEnd 0 prints every stored image, Mode 0 at the
        ' normal size (named arguments work too).
        result = control.Print(Printer:=0, PrinterName:="THERMAL #1", Range:=0, Mode:=0, lngEnd:=0)
    End If
    If result = -5 Then
        MsgBox "The printer ""THERMAL #1"" is not installed."
    ElseIf result <> 0 Then
        MsgBox control.ErrorText
    End If
End Sub

' --- a UserForm holding the control as Tessaline1 and a command button -----

Private Sub CommandButton1_Click()
    Dim result As Long
    result = Tessaline1.Upload(0, "THERMAL #1", "C:\Logos\logo.bmp|C:\Logos\coupon.bmp|", 1, 5)
    If result <> 0 Then MsgBox Tessaline1.ErrorText
End Sub

' Raised inside Upload for each logo sent (1 to n), and inside Print of every
' image for each number requested (1 to 255). Do not call the control again from here: the nested call
' is refused with -2.
Private Sub Tessaline1_Progress(ByVal Data As Long)
    Me.Caption = "Logo " & Data
End Sub
