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
        <source>лишний аргумент «%1»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Файл таблиц, указанный в --tables, не подходит:
%1

Открыть программу с её собственными таблицами (%2)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Открыть с таблицами программы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выйти</source>
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
    <name>Readiness</name>
    <message>
        <source>«Считать» станет доступна, когда заполнены поля расчёта по погоде или по шторке.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Они заполнены: кнопка включится при следующей правке поля или выборе «днём» или «ночью».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>«днём» или «ночью»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Для расчёта по погоде не заполнены: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Для расчёта по шторке не заполнены: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Поля заполнены: измените любое или выберите «днём»/«ночью».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>тип</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>часы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>минуты</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>баллы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нн</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>видимость</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>днём/ночью</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>высота п-та</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>закрытие шторки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>открытие шторки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не заполнены: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>высоты шторки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не заполнены: %1 (или %2).</source>
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
        <source>Копировать результаты (устарели)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Данные изменены — нажмите «Считать».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Результаты скопированы</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не скопировано: результаты устарели, данные изменены — нажмите «Считать»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нечего копировать: нет результатов расчёта</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>meltor::ResultsBoard</name>
    <message>
        <source>Данные изменены — нажмите «Считать»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показан прошлый расчёт:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
