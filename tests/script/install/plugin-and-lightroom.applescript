try
do shell script "mkdir -p \"@APP@\"" with administrator privileges
do shell script "mkdir -p \"@SUPP@\"" with administrator privileges
do shell script "cp -R -f \"@PRODUCTS@/Calmfield 6/Calmfield 6 Plugin\" \"@APP@\"" with administrator privileges
do shell script "ln -f -n -s \"@APP@Calmfield 6 Plugin\" \"@SUPP@Calmfield 6 Plugin\""  with administrator privileges
do shell script "rm -R -f \"@APP@Velamorph 4 Lightroom\"" with administrator privileges
do shell script "cp -R -f \"@PRODUCTS@/Velamorph 4/Velamorph 4 Lightroom\" \"@APP@\"" with administrator privileges
do shell script "mkdir -p \"@LR@External Editor Presets/Quorvantic/\""
do shell script "mkdir -p \"@LR@Export Presets/Quorvantic Velamorph 4/\""
do shell script "cp -R -f \"@APP@Velamorph 4 Lightroom/Quorvantic Velamorph 4/.\" \"@LR@Export Presets/Quorvantic Velamorph 4/\""
do shell script "mkdir -p \"@LR@Modules/\""
do shell script "ln -f -n -s \"@APP@Velamorph 4 Lightroom/velamorph4.lrdevplugin\" \"@LR@Modules/\""
do shell script "echo \"@APP@Velamorph 4 Lightroom\" > \"@APP@Velamorph 4 Lightroom/velamorph4.lrdevplugin/Path.txt\""  with administrator privileges
do shell script "echo \"s = {id = \\\"3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071\\\",internalName = \\\"Quorvantic Velamorph 4\\\",title = \\\"Quorvantic Velamorph 4\\\",type = \\\"ExternalEditor\\\",value = {
externalEditingFormat = \\\"TIFF_None_16_ProPhotoRGB\\\",externalEditingFormat_dpi = 240,externalEditorFullPath = \\\"@APP@Velamorph 4 Lightroom/Velamorph4.app\\\",
},version = 0,}\" > \"@LR@External Editor Presets/Quorvantic/Quorvantic Velamorph 4.lrtemplate\""
do shell script "chown -R $USER \"@LR@External Editor Presets/Quorvantic/\""
do shell script "chown -R $USER \"@LR@Export Presets/Quorvantic Velamorph 4/\""
do shell script "chown -R $USER \"@LR@Modules/\""

on error errMsg
return errMsg
end try
return "Ok"