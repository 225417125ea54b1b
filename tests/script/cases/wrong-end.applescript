tell application "Finder"
end try