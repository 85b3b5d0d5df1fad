' The week schedule through the real DLL: settings handed over by operations 62 to 69, then a
' script holder with the Cyrillic attributes packed (36), unpacked (37) and read for today (26).
' The holder is a script object: the component reaches its members through IDispatchEx.
' Saved as cp1251 for the Cyrillic names.
Option Explicit
Dim failures : failures = 0

Sub Check(what, ok)
  If ok Then
    WScript.Echo "ok   " & what
  Else
    WScript.Echo "FAIL " & what
    failures = failures + 1
  End If
End Sub

Class Holder
  Public ДеньНедели
  Public б1
  Public б2
  Public б3
  Public б4
  Public б5
  Public б6
  Public б7
  Public Понедельник
  Public Вторник
  Public Среда
  Public Четверг
  Public Пятница
  Public Суббота
  Public Воскресенье
  Public Default Function Self()
    Set Self = Me
  End Function
End Class

Class Firm
  Public ИНН
  Public Default Function Self()
    Set Self = Me
  End Function
End Class

Dim obj, h, f, value, today, i
Set obj = CreateObject("AddIn.AddInObj")
obj.IInitDone_Init New Firm

Function Execute(code, arg)
  Dim args
  args = Array(code, arg, Null, Null, Null, Null, Null, Null, Null)
  On Error Resume Next
  obj.ILanguageExtender_CallAsProc 0, args
  Execute = Err.Number
  On Error Goto 0
End Function

Set f = New Firm
f.ИНН = " 7701234567 "
Check "62 takes the firm's INN", Execute(62, f) = 0
Check "63 takes the order rows", Execute(63, 3) = 0
Check "66 takes the working date", Execute(66, DateSerial(2026, 12, 9)) = 0
Check "68 takes the prefix", Execute(68, " МСК ") = 0
Check "69 with an empty text fails with 13", Execute(69, "") = 13
Check "69 with zeros succeeds and keeps the key", Execute(69, " 0000000 ") = 0
Check "69 takes a key", Execute(69, "0000001") = 0

Set h = New Holder
h.б1 = 1 : h.б2 = 2 : h.б3 = 3 : h.б4 = 4 : h.б5 = 5 : h.б6 = 6 : h.б7 = 7
Check "36 packs", Execute(36, h) = 0
Check "the week schedule text has Saturday and Sunday raised by their offset 1", h.ДеньНедели = "000002000008000024000064000160000448001024"

h.б1 = 0 : h.б2 = 0 : h.б3 = 0 : h.б4 = 0 : h.б5 = 0 : h.б6 = 0 : h.б7 = 0
h.Понедельник = 0 : h.Воскресенье = 0
Check "37 unpacks", Execute(37, h) = 0
Check "the quantities are back", h.б1 = 1 And h.б2 = 2 And h.б3 = 3 And h.б4 = 4 And h.б5 = 5 And h.б6 = 6 And h.б7 = 7
Check "the day flags are set", h.Понедельник = 1 And h.Среда = 1 And h.Воскресенье = 1

today = Weekday(Date) - 2
If today = -1 Then today = 6
Check "26 succeeds", Execute(26, h) = 0
obj.ILanguageExtender_GetPropVal 0, value
Check "26 leaves today's quantity " & (today + 1) & " in IsResult (" & value & ")", value = today + 1
Check "26 with a number fails with 424", Execute(26, 5) = 424

h.б3 = -30
Check "36 refuses a negative field with 5", Execute(36, h) = 5
Check "and the text stays", h.ДеньНедели = "000002000008000024000064000160000448001024"

obj.IInitDone_Done
Set obj = Nothing
WScript.Quit failures
