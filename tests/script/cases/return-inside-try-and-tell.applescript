try
tell application "Finder"
return 7
end tell
end try
return 8