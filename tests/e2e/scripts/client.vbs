' A foreign client: drives AddIn.AddInObj through its dispatch interface _AddInObj, passing
' variables by reference as script engines do. Saved as cp1251 for the Cyrillic names.
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

Class Connection
  Public Default Function Self()
    Set Self = Me
  End Function
End Class

Dim obj, conn, name, num, info, args, value, i, said
Set obj = CreateObject("AddIn.AddInObj")
Set conn = New Connection
obj.IInitDone_Init conn

info = Array(Empty, Empty)
obj.IInitDone_GetInfo info
Check "GetInfo writes 1000 into element 0", info(0) = "1000" And IsEmpty(info(1))

name = ""
obj.ILanguageExtender_RegisterExtensionAs name
Check "RegisterExtensionAs gives Security", name = "Security"

For Each value In Array(Array("IsResult", 0), Array("Результат", 0), Array("результат", -1), Array("IsParam", 1))
  num = 99
  obj.ILanguageExtender_FindProp value(0), num
  Check "FindProp " & value(0) & " gives " & value(1), num = value(1)
Next
For Each value In Array(Array("Execute", 0), Array("Выполнить", 0), Array("execute", -1))
  num = 99
  obj.ILanguageExtender_FindMethod value(0), num
  Check "FindMethod " & value(0) & " gives " & value(1), num = value(1)
Next
name = ""
obj.ILanguageExtender_GetMethodName 0, 1, name
Check "GetMethodName 0, 1 gives Выполнить", name = "Выполнить"
num = 0
obj.ILanguageExtender_GetNParams 0, num
Check "GetNParams gives 9", num = 9

obj.ILanguageExtender_GetPropVal 0, value
Check "IsResult of a new object is Empty", IsEmpty(value)

args = Array(61, Null, Null, Null, Null, Null, Null, Null, Null)
obj.ILanguageExtender_CallAsProc 0, args
obj.ILanguageExtender_GetPropVal 0, value
Check "Execute 61 leaves IsResult Null", IsNull(value)

args = Array(26, 5, Null, Null, Null, Null, Null, Null, Null)
On Error Resume Next
obj.ILanguageExtender_CallAsProc 0, args
Check "Execute 26 with a number fails with error 424 (" & Err.Number & ")", Err.Number = 424
Err.Clear
obj.ILanguageExtender_CallAsProc 0, Array(1, 2)
Check "an array too short for nothing is still fine for code 1 (" & Err.Number & ")", Err.Number = 0
Err.Clear
On Error Goto 0
Check "the script goes on and the arguments are as they were", args(0) = 26 And args(1) = 5

' Each failure keeps its error number, and says what failed in Err.Description, from the component.
Class Holder
  Public ДеньНедели
End Class
Dim holder : Set holder = New Holder
holder.ДеньНедели = "00a056"
Class Bare
End Class
Dim bare : Set bare = New Bare
' A member that raises, as a configuration object's property may: its words go into the description,
' one line, at most 500 characters.
Class Raising
  Public Words
  Public Property Get ДеньНедели
    Err.Raise 13, "Справочник.Клиенты", Words
  End Property
End Class
Dim broken : Set broken = New Raising
broken.Words = "Реквизит недоступен" & vbCrLf & "Модуль: Форма"
Dim verbose : Set verbose = New Raising
verbose.Words = String(10000, "я")
Class Week
  Public б1
  Public б2
  Public б3
  Public б4
  Public б5
  Public б6
  Public б7
  Public ДеньНедели
  Public Понедельник
  Public Вторник
  Public Среда
  Public Четверг
  Public Пятница
  Public Суббота
  Public Воскресенье
  Private Sub Class_Initialize
    б1 = 1 : б2 = 1 : б3 = 1 : б4 = 1 : б5 = 1 : б6 = 1 : б7 = 1
  End Sub
End Class
Dim negative : Set negative = New Week
negative.б3 = -50
Dim huge : Set huge = New Week
huge.б2 = 1E10
Dim failing : failing = Array( _
  Array(Array(26, 5, Null, Null, Null, Null, Null, Null, Null), 424, _
        "Security.Выполнить(26): ошибка 424 (требуется объект): элемент 1 массива параметров не объект, а 5"), _
  Array(Array("abc", Null, Null, Null, Null, Null, Null, Null, Null), 13, _
        "Security.Выполнить: ошибка 13 (несоответствие типа): код операции в элементе 0 не число"), _
  Array(Array(63, Null, Null, Null, Null, Null, Null, Null, Null), 94, _
        "Security.Выполнить(63): ошибка 94 (недопустимое использование Null): строки заявок не текст и не число"), _
  Array(Array(69, "ключ", Null, Null, Null, Null, Null, Null, Null), 13, _
        "Security.Выполнить(69): ошибка 13 (несоответствие типа): ключ расписания не число"), _
  Array(Array(26, holder, Null, Null, Null, Null, Null, Null, Null), 13, _
        "Security.Выполнить(26): ошибка 13 (несоответствие типа): поле дня в тексте ""ДеньНедели"" не читается как число у дня Понедельник"), _
  Array(Array(36, negative, Null, Null, Null, Null, Null, Null, Null), 5, _
        "Security.Выполнить(36): ошибка 5 (недопустимый аргумент): количество дня не помещается в поле текста ""ДеньНедели"" у дня Среда"), _
  Array(Array(36, huge, Null, Null, Null, Null, Null, Null, Null), 6, _
        "Security.Выполнить(36): ошибка 6 (переполнение) при чтении ""б2"" у дня Вторник"), _
  Array(Array(26, bare, Null, Null, Null, Null, Null, Null, Null), &H80020006, _
        "Security.Выполнить(26): ошибка платформы 0x80020006 (неизвестное имя) при чтении ""ДеньНедели"""), _
  Array(Array(26, broken, Null, Null, Null, Null, Null, Null, Null), 13, _
        "Security.Выполнить(26): ошибка 13 (несоответствие типа) при чтении ""ДеньНедели"": Реквизит недоступен  Модуль: Форма", _
        "Security.Выполнить(26): ошибка 13 (несоответствие типа) при чтении ""ДеньНедели"""), _
  Array(Array(26, verbose, Null, Null, Null, Null, Null, Null, Null), 13, _
        "Security.Выполнить(26): ошибка 13 (несоответствие типа) при чтении ""ДеньНедели"": " & String(500, "я") & "…", _
        "Security.Выполнить(26): ошибка 13 (несоответствие типа) при чтении ""ДеньНедели"""))
For Each value In failing
  args = value(0)
  On Error Resume Next
  obj.ILanguageExtender_CallAsProc 0, args
  Check "Execute " & args(0) & " fails with error " & value(1) & " (" & Err.Number & ")", Err.Number = value(1)
  ' A member's words come only from an engine that hands over its exception information (Wine's
  ' VBScript hands over the number alone): then the description ends before them.
  said = (Err.Description = value(2))
  If UBound(value) = 3 Then said = said Or (Err.Description = value(3))
  Check "  and says so: " & Left(Err.Description, 200), said
  Check "  from AddIn.AddInObj (" & Err.Source & ")", Err.Source = "AddIn.AddInObj"
  Err.Clear
  obj.ILanguageExtender_CallAsProc 0, Array(61, Null, Null, Null, Null, Null, Null, Null, Null)
  Check "  a later success raises nothing (" & Err.Number & ")", Err.Number = 0
  On Error Goto 0
Next

obj.IInitDone_Done
Set obj = Nothing
WScript.Quit failures
