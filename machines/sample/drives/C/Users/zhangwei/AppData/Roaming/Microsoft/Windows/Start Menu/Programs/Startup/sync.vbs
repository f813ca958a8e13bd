Set sh = CreateObject("WScript.Shell")
sh.Run "robocopy D:\照片 E:\备份 /MIR", 0
