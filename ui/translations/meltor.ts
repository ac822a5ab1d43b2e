<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="ru_RU">
<context>
    <name>CommandLine</name>
    <message>
        <source>Meltor — время полёта для лётной книжки: в закрытой кабине, в облаках, за облаками, при ограниченной видимости и всего в СМУ.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>файл таблиц вместо %1 программы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ФАЙЛ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2
Справка: %1 --help
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--tables: нет файла «%1»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>лишний аргумент «%1»</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MessageBoxSink</name>
    <message>
        <source>Meltor — расчёт остановлен</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>meltor::AboutWindow</name>
    <message>
        <source>О программе</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Email: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Домашняя страница: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Автор: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>проект Meltor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Email</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Домашняя страница</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>meltor::MainWindow</name>
    <message>
        <source>Ввод данных</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Тип самолёта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время п-та</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  ч    мин</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Облачность, м</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>баллов    Нн         Нв</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Видимость,км</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>   Полёты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>днём</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Полёты днём</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ночью</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Полёты ночью</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Использование шторки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>высота закрытия, м</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>высота открытия, м</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Высота п-та, м</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Считать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Справка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выход</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записать в лётную книжку</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Всего в СМУ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Копировать результаты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Разбор полёта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результаты скопированы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нечего копировать: нет результатов расчёта</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
