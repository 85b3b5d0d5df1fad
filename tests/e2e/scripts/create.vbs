' Creates AddIn.AddInObj by its ProgID and asks it for its version: exit status 0 when it answers.
Option Explicit
Class Connection
  Public Default Function Self()
    Set Self = Me
  End Function
End Class
Dim obj, info
On Error Resume Next
Set obj = CreateObject("AddIn.AddInObj")
If Err.Number <> 0 Then
  WScript.Echo "not created: error " & Hex(Err.Number)
  WScript.Quit 1
End If
On Error GoTo 0
obj.IInitDone_Init New Connection
info = Array(Empty, Empty)
obj.IInitDone_GetInfo info
obj.IInitDone_Done
WScript.Echo "created; GetInfo gives " & info(0)
If info(0) = "1000" Then WScript.Quit 0 Else WScript.Quit 1
